#include "env/platform/machine/machine_processes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  std::string name = "server-";
  AppendHex(name, static_cast<unsigned long long>(info.st_dev));
  name += '-';
  AppendHex(name, static_cast<unsigned long long>(info.st_ino));
  return name;
}

bool IsWineserverIn(const ProcessEntry& process, const std::string& server_folder) {
  if (!StartsWith(process.executable, "wineserver")) return false;
  std::error_code no_link;
  const fs::path cwd =
      fs::read_symlink(fs::path("/proc") / std::to_string(process.id) / "cwd", no_link);
  return !no_link && cwd.filename() == server_folder;
}

}  // namespace

std::vector<ProcessEntry> ListMachineProcesses() {
  return ListHostProcesses(
      [](int, const std::string& command) -> std::optional<std::string> { return command; });
}

bool ServedByWineserver(const fs::path& folder, const std::vector<ProcessEntry>& processes) {
  const auto server_folder = ServerFolderName(folder);
  if (!server_folder) return false;
  return std::any_of(processes.begin(), processes.end(),
                     [&](const ProcessEntry& process) { return IsWineserverIn(process, *server_folder); });
}

std::vector<ProcessEntry> MachineProcesses::List() {
  if (!listed_given_) {
    listed_given_ = true;
    return listed_;
  }
  return ListMachineProcesses();
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
