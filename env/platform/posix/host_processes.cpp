#include "env/platform/posix/host_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

#include "core/ascii_text.h"
#include "env/platform/posix/host_files.h"
#include "env/platform/posix/unique_fd.h"

namespace quillbank {
namespace {

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
  DIR* proc = ::opendir("/proc");
  if (!proc) return ids;
  while (const dirent* entry = ::readdir(proc)) {
    const char* name = entry->d_name;
    const char* end = name + std::strlen(name);
    if (name == end || !std::all_of(name, end, [](char c) { return c >= '0' && c <= '9'; })) continue;
    ids.push_back(std::atoi(name));
  }
  ::closedir(proc);
  return ids;
}

std::optional<std::string> ReadProcFile(int pid, const char* name) {
  std::string path = "/proc/";
  AppendDecimal(path, pid);
  path += '/';
  path += name;
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::string text;
  char piece[4096];
  for (;;) {
    const ssize_t got = ::read(fd.get(), piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    // A short read is no end here: a file of many records (smaps) stops
    // before a record that does not fit.
    if (got == 0) break;
    text.append(piece, static_cast<std::size_t>(got));
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::optional<ProcStat> ParseProcStat(std::string_view text) {
  // The name may hold blanks and parentheses itself: it runs from the first
  // "(" to the last ")".
  const std::size_t open = text.find('(');
  const std::size_t close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  ProcStat stat;
  for (const char c : text.substr(open + 1, close - open - 1)) {
    if (c == '\n') {
      stat.command += "\\n";
    } else if (c == '\\') {
      stat.command += "\\\\";
    } else {
      stat.command += c;
    }
  }
  stat.ended = close + 2 < text.size() && text[close + 2] == 'Z';
  return stat;
}

bool ProcessGone(std::uint32_t id) {
  const auto text = ReadProcFile(static_cast<int>(id), "stat");
  if (!text) return true;
  const std::optional<ProcStat> stat = ParseProcStat(*text);
  return stat && stat->ended;
}

std::vector<ProcessEntry> ListHostProcesses(
    const std::function<std::optional<std::string>(int pid, const std::string& command)>& name_of) {
  std::vector<ProcessEntry> entries;
  for (const int pid : HostProcessIds()) {
    const auto text = ReadProcFile(pid, "stat");
    if (!text) continue;  // gone since it was listed
    const std::optional<ProcStat> stat = ParseProcStat(*text);
    if (!stat || stat->ended) continue;
    if (auto name = name_of(pid, stat->command)) {
      entries.push_back({static_cast<std::uint32_t>(pid), std::move(*name)});
    }
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
