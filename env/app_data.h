// The user's application data folder, where the log, Eudora.ini and the
// Thunderbird folder are found.
#pragma once

#include <optional>
#include <string>

#include "env/platform/platform.h"

namespace quillbank {

// The session's "APPDATA" value under HKCU "Volatile Environment" (read with
// a 300-byte buffer, as Windows programs do), or the process environment's
// APPDATA for users whose session has no such value. No value when neither
// gives a non-empty folder.
[[nodiscard]] std::optional<std::string> AppDataFolder(Platform& platform);

}  // namespace quillbank
