#include "env/platform/home/home_layout.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramFolder = "quillbank";

}  // namespace

std::string StateFolderIn(const std::string& home,
                          const std::optional<std::string>& xdg_state_home) {
  if (xdg_state_home && fs::path(*xdg_state_home).is_absolute()) {
    return (fs::path(*xdg_state_home) / kProgramFolder).string();
  }
  return (fs::path(home) / ".local" / "state" / kProgramFolder).string();
}

bool CreatePrivateFolders(const std::string& folder) {
  fs::path level;
  for (const fs::path& part : fs::path(folder)) {
    level /= part;
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  std::error_code error;
  return fs::is_directory(level, error);
}

}  // namespace quillbank
