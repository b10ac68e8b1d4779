// The real configurators, bound to the rows of the client table.
#pragma once

#include <memory>

#include "env/platform/platform.h"
#include "session/configurator_factory.h"

namespace quillbank {

// The factory of the real configurators, working on `platform`.
[[nodiscard]] std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(Platform& platform);

}  // namespace quillbank
