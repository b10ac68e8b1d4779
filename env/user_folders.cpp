#include "env/user_folders.h"

#include "env/app_data.h"

namespace quillbank {

char PathSeparator(const Platform& platform) { return platform.user.PathSeparator(); }

std::string JoinPath(const Platform& platform, std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += PathSeparator(platform);
  path.append(name);
  return path;
}

std::string NativePath(const Platform& platform, std::string path) {
  const char separator = PathSeparator(platform);
  if (separator == '/') return path;
  for (char& c : path) {
    if (c == '/') c = separator;
  }
  return path;
}

std::optional<std::string> FindUserFolder(Platform& platform, UserFolder which) {
  std::optional<std::string> folder;
  switch (which) {
    case UserFolder::Home:
      folder = platform.user.HomeFolder();
      break;
    case UserFolder::AppData:
      folder = AppDataFolder(platform);
      break;
  }
  // "C:\Users\jane\AppData\Roaming\" names the same folder without its
  // last separator, and paths are joined to it with one.
  while (folder && folder->size() > 1 && (folder->back() == '\\' || folder->back() == '/')) {
    folder->pop_back();
  }
  return folder;
}

std::vector<std::string> ClientFolders(Platform& platform, const ClientSite& site) {
  std::vector<std::string> folders;
  for (const FolderBelow& below : site.folders) {
    const std::optional<std::string> base = FindUserFolder(platform, below.base);
    if (!base) continue;
    const std::string relative = NativePath(platform, below.relative);
    // A base that ends in the separator (a home of "/") takes no second one.
    folders.push_back(base->back() == PathSeparator(platform) ? *base + relative
                                                              : JoinPath(platform, *base, relative));
  }
  return folders;
}

std::optional<std::string> LogFolder(Platform& platform) {
  if (std::optional<std::string> state = platform.user.StateFolder()) return state;
  return AppDataFolder(platform);
}

}  // namespace quillbank
