#include "env/platform/machine/machine_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <thread>

#include "env/platform/machine/host_files.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWine = "/usr/lib/wine/wine64";
constexpr auto kExitPoll = std::chrono::milliseconds(50);

// The ids /proc lists (ended processes included).
std::vector<int> HostProcessIds() {
  std::vector<int> ids;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    ids.push_back(std::atoi(name.c_str()));
  }
  return ids;
}

// A process's file below /proc/<pid>/ without its final line end; none when
// the process is gone.
std::optional<std::string> ReadProcFile(int pid, const char* name) {
  auto text = ReadHostFile(fs::path("/proc") / std::to_string(pid) / name);
  if (text && !text->empty() && text->back() == '\n') text->pop_back();
  return text;
}

// A process that has ended, whether or not its parent has collected it yet.
bool ProcessGone(std::uint32_t id) {
  const auto stat = ReadProcFile(static_cast<int>(id), "stat");
  if (!stat) return true;
  const std::size_t paren = stat->rfind(')');
  return paren != std::string::npos && paren + 2 < stat->size() && (*stat)[paren + 2] == 'Z';
}

// In the started child: the client runs on its own, so it must not hold the
// caller's terminal or pipes open after the program has ended.
void DetachFromCaller() {
  ::setsid();
  const int null_fd = ::open("/dev/null", O_RDWR);
  if (null_fd < 0) return;
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::dup2(null_fd, fd);
  if (null_fd > STDERR_FILENO) ::close(null_fd);
}

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
  if (!comm || comm->rfind("wineserver", 0) != 0) return false;
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

std::vector<ProcessEntry> MachineProcesses::List() {
  std::vector<ProcessEntry> entries;
  for (const int pid : HostProcessIds()) {
    const auto id = static_cast<std::uint32_t>(pid);
    if (ProcessGone(id)) continue;
    // The name the system reports: Wine names its processes after the
    // Windows executable.
    if (auto comm = ReadProcFile(pid, "comm")) entries.push_back({id, *comm});
  }
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.id < b.id; });
  return entries;
}

// One process only: kill() takes 0, and any id that becomes a negative
// pid_t, as a whole process group.
bool MachineProcesses::Terminate(std::uint32_t id) {
  if (id == 0 || id > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) return false;
  return ::kill(static_cast<pid_t>(id), SIGTERM) == 0;
}

bool MachineProcesses::WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ProcessGone(id)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kExitPoll);
  }
  return true;
}

// Starts the command the way Windows' "start" does, through Wine in the
// machine folder, and does not wait for it.
bool MachineProcesses::Start(const std::string& command_line) {
  if (::access(kWine, X_OK) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    DetachFromCaller();
    ::setenv("WINEPREFIX", folder_.c_str(), 1);
    ::execl(kWine, kWine, "cmd", "/c", "start", "", command_line.c_str(), nullptr);
    ::_exit(127);
  }
  return true;
}

}  // namespace quillbank
