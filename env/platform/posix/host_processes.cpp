#include "env/platform/posix/host_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <thread>
#include <utility>

#include "env/platform/posix/host_files.h"
#include "env/platform/posix/unique_fd.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr auto kExitPoll = std::chrono::milliseconds(50);

// In the started process's parent: the program runs on its own, so it must
// not hold the caller's terminal or pipes open after the caller has ended.
void DetachFromCaller() {
  ::setsid();
  UniqueFd null_fd(::open("/dev/null", O_RDWR));
  if (!null_fd.valid()) return;
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::dup2(null_fd.get(), fd);
  // Where /dev/null came as one of the three, it is that one now: it stays open.
  if (null_fd.get() <= STDERR_FILENO) null_fd.Release();
}

}  // namespace

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

std::optional<std::string> ReadProcFile(int pid, const char* name) {
  auto text = ReadHostFile(fs::path("/proc") / std::to_string(pid) / name);
  if (text && !text->empty() && text->back() == '\n') text->pop_back();
  return text;
}

bool ProcessGone(std::uint32_t id) {
  const auto stat = ReadProcFile(static_cast<int>(id), "stat");
  if (!stat) return true;
  const std::size_t paren = stat->rfind(')');
  return paren != std::string::npos && paren + 2 < stat->size() && (*stat)[paren + 2] == 'Z';
}

std::vector<ProcessEntry> ListHostProcesses(
    const std::function<std::optional<std::string>(int pid)>& name_of) {
  std::vector<ProcessEntry> entries;
  for (const int pid : HostProcessIds()) {
    const auto id = static_cast<std::uint32_t>(pid);
    if (ProcessGone(id)) continue;
    if (auto name = name_of(pid)) entries.push_back({id, std::move(*name)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.id < b.id; });
  return entries;
}

bool StartDetached(const std::function<void()>& exec) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    DetachFromCaller();
    const pid_t started = ::fork();
    if (started == 0) {
      exec();
      ::_exit(127);
    }
    ::_exit(started < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return true;  // collected elsewhere (SIGCHLD ignored)
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool HostProcesses::Terminate(std::uint32_t id) {
  if (id == 0 || id > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) return false;
  const auto pid = static_cast<pid_t>(id);
  if (pid == ::getpid()) return false;
  return ::kill(pid, SIGTERM) == 0;
}

bool HostProcesses::WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ProcessGone(id)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kExitPoll);
  }
  return true;
}

}  // namespace quillbank
