#include "env/platform/machine/machine_processes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/ascii_text.h"
#include "env/platform/posix/host_processes.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWine = "/usr/lib/wine/wine64";

// The name of the folder a wineserver for the prefix `folder` works in.
std::optional<std::string> ServerFolderName(const fs::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return std::nullopt;
  char name[64];
  std::snprintf(name, sizeof name, "server-%llx-%llx",
                static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino));
  return name;
}

bool IsWineserverIn(int pid, const std::string& server_folder) {
  const auto comm = ReadProcFile(pid, "comm");
  if (!comm || !StartsWith(*comm, "wineserver")) return false;
  std::error_code no_link;
  const fs::path cwd = fs::read_symlink(fs::path("/proc") / std::to_string(pid) / "cwd", no_link);
  return !no_link && cwd.filename() == server_folder;
}

}  // namespace

bool ServedByWineserver(const fs::path& folder) {
  const auto server_folder = ServerFolderName(folder);
  if (!server_folder) return false;
  const std::vector<int> ids = HostProcessIds();
  return std::any_of(ids.begin(), ids.end(),
                     [&](int pid) { return IsWineserverIn(pid, *server_folder); });
}

// Each named as the system reports it: Wine names its processes after the
// Windows executable.
std::vector<ProcessEntry> MachineProcesses::List() {
  return ListHostProcesses([](int pid) { return ReadProcFile(pid, "comm"); });
}

// Starts the command the way Windows' "start" does, through Wine in the
// machine folder, and does not wait for it.
bool MachineProcesses::Start(const std::string& command_line) {
  if (::access(kWine, X_OK) != 0) return false;
  const std::string prefix = folder_.string();
  return StartDetached([&] {
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::execl(kWine, kWine, "cmd", "/c", "start", "", command_line.c_str(), nullptr);
  });
}

}  // namespace quillbank
