// The host's processes as both POSIX systems see them through /proc: ending
// and waiting for one is the same on both; which processes the list shows,
// and how a program is started, is each system's own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// The ids /proc lists (ended processes included).
[[nodiscard]] std::vector<int> HostProcessIds();

// A process's file below /proc/<pid>/ without its final line end; none when
// the process is gone.
[[nodiscard]] std::optional<std::string> ReadProcFile(int pid, const char* name);

// What the first line of /proc/<pid>/stat tells: the command name, as
// /proc/<pid>/comm shows it (a line feed as \n, a backslash as \\), and
// whether the process has ended (state Z) and waits to be collected.
struct ProcStat {
  std::string command;
  bool ended = false;
};
// None when the text is not such a line ("pid (name) state ...").
[[nodiscard]] std::optional<ProcStat> ParseProcStat(std::string_view text);

// A process that has ended, whether or not its parent has collected it yet.
[[nodiscard]] bool ProcessGone(std::uint32_t id);

// The running processes (ended ones left out), sorted by id, each named by
// `name_of` from its id and its command name; a process it gives no name is
// left out as well. Each process's stat file is the one file read for all
// of them, so a host with many processes is listed in few system calls.
[[nodiscard]] std::vector<ProcessEntry> ListHostProcesses(
    const std::function<std::optional<std::string>(int pid, const std::string& command)>& name_of);

// Runs `exec` in a new process that belongs to no one: it is started by a
// child that ends at once, so the program neither waits for it nor leaves it
// behind unreaped, and it holds none of the caller's terminal or pipes.
// `exec` runs after fork(), so it may only replace the process (or _exit).
// True when the process was made; whether the program it runs could be
// started is not waited for.
bool StartDetached(const std::function<void()>& exec);

class HostProcesses : public Processes {
 public:
  // SIGTERM to one process. kill() takes 0, and any id that becomes a
  // negative pid_t, as a whole process group, and the program does not end
  // itself: those are refused.
  bool Terminate(std::uint32_t id) final;
  // Polls until the process has ended (an unreaped one counts as ended).
  bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) final;
};

}  // namespace quillbank
