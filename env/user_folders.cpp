#include "env/user_folders.h"

#include "env/app_data.h"

namespace quillbank {

char PathSeparator(const Platform& platform) { return platform.home ? '/' : '\\'; }

std::string JoinPath(const Platform& platform, std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += PathSeparator(platform);
  path.append(name);
  return path;
}

std::string NativePath(const Platform& platform, std::string path) {
  // A "\" in a Linux file name is part of the name, not a separator.
  if (platform.home) return path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::optional<std::string> LogFolder(Platform& platform) {
  if (platform.home) return platform.home->StateFolder();
  return AppDataFolder(platform);
}

}  // namespace quillbank
