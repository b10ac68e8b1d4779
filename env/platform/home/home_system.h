// The Linux user's own home as a system: the user's files, environment,
// processes and clock, no registry, and Thunderbird as the one client.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "env/platform/system.h"

namespace quillbank {

// Opens the home of the user running the program (HOME), creating the
// state folder for the log and the run lock (not for a preview, which takes
// the lock only where its file exists); null with the reason in
// `error` when that is not possible.
[[nodiscard]] std::unique_ptr<SystemServices> OpenUserHome(std::string& error,
                                                           OpenFor purpose = OpenFor::Change);

// The same for the home folder `home` and the state base XDG_STATE_HOME
// (none when it is not set).
[[nodiscard]] std::unique_ptr<SystemServices> OpenUserHome(
    const std::string& home, const std::optional<std::string>& xdg_state_home, std::string& error,
    OpenFor purpose = OpenFor::Change);

}  // namespace quillbank
