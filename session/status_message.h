// The texts a user reads after a run.
#pragma once

#include <string>

#include "core/client_descriptor.h"
#include "core/config_status.h"

namespace quillbank {

// The message for a failed run of `client`: the causes every configurator
// may report, then the client's own; empty for no client, or a pair without a
// message.
[[nodiscard]] std::string StatusMessage(const ClientDescriptor* client, ConfigStatus status);

// The congratulation after a successful run; empty for no client.
[[nodiscard]] std::string SuccessMessage(const ClientDescriptor* client);

}  // namespace quillbank
