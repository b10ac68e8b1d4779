#include "env/platform/home/user_home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "env/platform/home/home_layout.h"
#include "env/platform/home/profile_lock.h"

namespace quillbank {
namespace {

constexpr const char* kThunderbirdProgram = "thunderbird";

// An executable regular file (a link to one counts).
bool IsProgram(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> HomeUser::ThunderbirdFolders() { return ThunderbirdFoldersIn(home_); }

// Empty PATH entries (the current folder to a shell) are passed over: a
// program that happens to lie where the run was started is not installed.
bool HomeUser::ThunderbirdOnPath() {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string_view rest(path);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!entry.empty() && IsProgram(std::string(entry) + "/" + kThunderbirdProgram)) return true;
  }
  return false;
}

std::optional<std::int64_t> HomeUser::ModifiedTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtime);
}

bool HomeUser::ProfileInUse(const std::string& profile_folder) {
  return ProfileFolderInUse(profile_folder);
}

}  // namespace quillbank
