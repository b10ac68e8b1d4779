// Programs started by tests as processes of the host (POSIX only): the
// program under test on a machine folder, helpers such as wine64 or a real
// mail client, each in a process group of its own so that whatever it starts
// ends with it.
//
//   ProgramRun run = RunNativeProgram(machine, QUILLBANK_PROGRAM, {"-c", "4", ...});
//   EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillbank::testing {

using EnvironmentAdditions = std::vector<std::pair<std::string, std::string>>;

// What a finished (or stopped) program left behind.
struct ProgramRun {
  int exit_code = -1;      // the program's exit code; -1 when it did not exit by itself
  bool timed_out = false;  // it was killed after the time limit
  std::string out;         // everything it wrote to standard output, as bytes
  std::string err;         // standard error
};

// How to start a program: argv[0] is looked up in PATH when it has no slash.
struct ProcessLaunch {
  std::vector<std::string> argv;
  EnvironmentAdditions set{};        // set in the program's environment
  std::vector<std::string> unset{};  // removed from it (before `set` applies)
  std::filesystem::path folder{};    // working folder; the test's own when empty
  std::chrono::seconds timeout{60};
};

// Runs the program with standard input empty, collects standard output and
// error until it has ended, and kills its whole process group when it is
// still running after the launch's timeout. Processes it leaves behind may
// hold its output open: once the program has exited, what it wrote so far is
// taken and the rest is not waited for.
[[nodiscard]] ProgramRun RunProcess(const ProcessLaunch& launch);

// Runs a native program with QUILLBANK_MACHINE set to `machine` (any
// QUILLBANK_MACHINE of the test's own environment is replaced; an empty
// `machine` leaves it unset, so the program uses its default folder), standard
// input empty, plus the environment additions. Killed after `timeout`.
[[nodiscard]] ProgramRun RunNativeProgram(const std::filesystem::path& machine,
                                          const std::string& program,
                                          const std::vector<std::string>& args,
                                          const EnvironmentAdditions& environment = {},
                                          std::chrono::seconds timeout = std::chrono::seconds(60));

// A program running in the background in a process group of its own, its
// standard input and output going nowhere (the launch's timeout is not used).
// Killed with its group if it is still running on destruction.
class BackgroundProcess {
 public:
  explicit BackgroundProcess(const ProcessLaunch& launch);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }
  // Waits up to `timeout` (zero: only looks) for the program to end. True
  // once it has ended, by itself or by a signal.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  // The exit code once the program has ended by itself; nullopt before, or
  // when a signal ended it.
  [[nodiscard]] std::optional<int> exit_code() const { return exit_code_; }
  // Sends `signal` to the program's whole process group, ended or not (what
  // it started may still run).
  void SignalGroup(int signal) const;

 private:
  int pid_ = -1;
  bool ended_ = false;
  std::optional<int> exit_code_;
};

}  // namespace quillbank::testing
