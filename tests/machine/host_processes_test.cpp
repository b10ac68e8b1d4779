// The process list comes from each process's stat line alone: its name as
// /proc/<pid>/comm would show it, and whether it has ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "env/platform/posix/host_processes.h"

namespace quillbank {
namespace {

TEST(HostProcessesTest, ReadsTheNameAndTheStateFromAStatLine) {
  struct Case {
    std::string line;
    std::optional<std::string> command;  // none: not a stat line
    bool ended;
  };
  const Case cases[] = {
      {"1 (systemd) S 0 1 1 0 -1", "systemd", false},
      {"42 (thunderbird-bin) R 1 42", "thunderbird-bin", false},
      {"7 (wine64-preload) Z 1 7", "wine64-preload", true},
      // A name may hold blanks and parentheses of its own.
      {"9 (a) Z (b) S 1 9", "a) Z (b", false},
      {"9 (x y)) Z 1", "x y)", true},
      // As /proc/<pid>/comm escapes them.
      {"5 (two\nlines\\) S 1", "two\\nlines\\\\", false},
      {"3 () S 1", "", false},
      {"8 (cut", std::nullopt, false},
      {"8 cut) S", std::nullopt, false},
      {"", std::nullopt, false},
  };
  for (const Case& c : cases) {
    const std::optional<ProcStat> stat = ParseProcStat(c.line);
    ASSERT_EQ(stat.has_value(), c.command.has_value()) << c.line;
    if (!stat) continue;
    EXPECT_EQ(stat->command, *c.command) << c.line;
    EXPECT_EQ(stat->ended, c.ended) << c.line;
  }
}

// The list names this program as comm does, and a /proc file longer than
// one read comes whole.
TEST(HostProcessesTest, ListsThisProgramAsCommNamesIt) {
  const auto comm = ReadProcFile(::getpid(), "comm");
  ASSERT_TRUE(comm);
  const auto self = static_cast<std::uint32_t>(::getpid());
  int found = 0;
  for (const ProcessEntry& entry :
       ListHostProcesses([](int, const std::string& command) -> std::optional<std::string> {
         return command;
       })) {
    if (entry.id == self) {
      ++found;
      EXPECT_EQ(entry.executable, *comm);
    }
  }
  EXPECT_EQ(found, 1);
  EXPECT_FALSE(ProcessGone(self));

  const auto maps = ReadProcFile(::getpid(), "smaps");
  ASSERT_TRUE(maps);
  EXPECT_GT(maps->size(), 4096u);
  EXPECT_EQ(maps->substr(maps->rfind('\n') + 1, 8), "VmFlags:") << "cut short";
}

}  // namespace
}  // namespace quillbank
