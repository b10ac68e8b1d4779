// The texts a user reads after a run.
#pragma once

#include <string>

#include "core/config_status.h"

namespace quillbank {

// The message for a failed run of client index `client_index`; empty for a
// pair without a message.
[[nodiscard]] std::string StatusMessage(int client_index, ConfigStatus status);

// The congratulation after a successful run; empty outside 0..4.
[[nodiscard]] std::string SuccessMessage(int client_index);

}  // namespace quillbank
