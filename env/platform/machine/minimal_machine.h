// The machine a new machine folder starts with: one user whose APPDATA,
// LOCALAPPDATA and USERPROFILE point into drive_c/users/<name>, and the
// machine's ProgramFilesDir.
#pragma once

#include <filesystem>
#include <string>

namespace quillbank {

// Writes the two hives and the user's folders into `folder`; false, with the
// reason in `error`, when a hive cannot be written.
[[nodiscard]] bool CreateMinimalMachine(const std::filesystem::path& folder, std::string& error);

}  // namespace quillbank
