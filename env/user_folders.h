// Where the user's files are, and how their paths are written: Windows paths
// on Windows and the machine folder, host paths in the Linux user's home.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/client_descriptor.h"
#include "env/platform/platform.h"

namespace quillbank {

// The system's path separator.
[[nodiscard]] char PathSeparator(const Platform& platform);

// `folder` and `name` joined by the system's separator.
[[nodiscard]] std::string JoinPath(const Platform& platform, std::string_view folder,
                                   std::string_view name);

// `path` with its separators as the system writes them: "/" becomes "\" where
// that is the separator; where "/" is, a "\" is part of a name and stays.
[[nodiscard]] std::string NativePath(const Platform& platform, std::string path);

// The user's folder `which`; none when the system does not know it.
[[nodiscard]] std::optional<std::string> FindUserFolder(Platform& platform, UserFolder which);

// The folders a client keeps its settings in, in its order of preference,
// whether they exist or not; those below a user folder the system does not
// know are left out.
[[nodiscard]] std::vector<std::string> ClientFolders(Platform& platform, const ClientSite& site);

// The folder of the run log (and of the run lock where the system keeps them
// together): the program's state folder where the system has one, else the
// application data folder. None when unknown.
[[nodiscard]] std::optional<std::string> LogFolder(Platform& platform);

}  // namespace quillbank
