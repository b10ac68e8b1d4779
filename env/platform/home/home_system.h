// The Linux user's own home as a system: the user's files, environment,
// processes and clock, no registry, and Thunderbird as the one client.
#pragma once

#include <memory>
#include <string>

#include "env/platform/system.h"

namespace quillbank {

// Opens the home of the user running the program (HOME), creating the
// state folder for the log and the run lock; null with the reason in
// `error` when that is not possible.
[[nodiscard]] std::unique_ptr<SystemServices> OpenUserHome(std::string& error);

}  // namespace quillbank
