// The one list of the clients the program knows, and the factory of their
// real configurators.
#pragma once

#include <memory>
#include <vector>

#include "core/client_list.h"
#include "env/platform/platform.h"
#include "session/configurator_factory.h"

namespace quillbank {

// Every client, in client index order: the radio buttons' order and the
// "-c" numbers.
[[nodiscard]] const std::vector<const ClientDescriptor*>& AllClients();

// The factory of the real configurators of `clients`, working on `platform`.
[[nodiscard]] std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(
    Platform& platform, const ClientList& clients);

}  // namespace quillbank
