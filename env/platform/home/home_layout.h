// Where the program's own state lies in the user's home.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillbank {

// $XDG_STATE_HOME/quillbank when XDG_STATE_HOME is an absolute path (the
// base directory rules ignore a relative one), else ~/.local/state/quillbank.
[[nodiscard]] std::string StateFolderIn(const std::string& home,
                                        const std::optional<std::string>& xdg_state_home);

// Creates `folder` and every missing folder above it, the new ones private to
// the user (0700): the log names the user's accounts. True when it is a
// folder afterwards.
[[nodiscard]] bool CreatePrivateFolders(const std::string& folder);

}  // namespace quillbank
