// Where the user's files are, and how their paths are written: Windows paths
// on Windows and the machine folder, host paths in the Linux user's home.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

// "\" on Windows and the machine folder, "/" in the Linux user's home.
[[nodiscard]] char PathSeparator(const Platform& platform);

// `folder` and `name` joined by the platform's separator.
[[nodiscard]] std::string JoinPath(const Platform& platform, std::string_view folder,
                                   std::string_view name);

// `path` with its separators as the platform writes them: "/" becomes "\" on
// Windows and the machine folder; a home path stays as it is.
[[nodiscard]] std::string NativePath(const Platform& platform, std::string path);

// The folder of the run log (and, in the home, of the run lock): the
// application data folder, or the home's state folder. None when unknown.
[[nodiscard]] std::optional<std::string> LogFolder(Platform& platform);

}  // namespace quillbank
