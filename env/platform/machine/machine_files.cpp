#include "env/platform/machine/machine_files.h"

#include <algorithm>

#include "core/ascii_text.h"
#include "env/platform/registry_tree.h"
#include "env/platform/wildcard.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

bool OnDriveC(const std::string& windows_path) {
  return windows_path.size() >= 2 && windows_path[1] == ':' &&
         AsciiUpper(windows_path[0]) == 'C';
}

// The name of the entry of `folder` that is `name` without regard to case;
// `name` itself when it exists as it is or not at all.
std::string MatchComponent(const fs::path& folder, const std::string& name) {
  if (fs::exists(folder / name)) return name;
  std::error_code error;
  const std::string wanted = UpperFileName(name);
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string candidate = entry.path().filename().string();
    if (UpperFileName(candidate) == wanted) return candidate;
  }
  return name;
}

}  // namespace

// Each existing component is found without regard to case; "." and ".."
// are taken as Windows takes them, and ".." never leaves drive C:.
std::optional<fs::path> MachineFiles::Resolve(const std::string& windows_path) const {
  std::string path = windows_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (!OnDriveC(path)) return std::nullopt;
  fs::path host = drive_c_;
  for (const std::string& part : SplitKeyPath(path.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (host != drive_c_) host = host.parent_path();
      continue;
    }
    host /= MatchComponent(host, part);
  }
  return host;
}

}  // namespace quillbank
