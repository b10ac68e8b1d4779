// Helpers for end-to-end tests that start the Windows build under wine64 in a
// Wine prefix (the native build runs through tests/support/program_run.h). A scenario typically gets a fresh prefix (a copy of one made
// once per test program), runs the Windows program in it, and reads back the
// prefix's user.reg/system.reg and drive_c like a machine folder.
//
//   if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
//   ScenarioPrefix prefix;
//   ASSERT_TRUE(prefix.ok());
//   ProgramRun run = RunWindowsProgram(prefix.path(), WindowsProgram(), {"-c", "4", ...});
//   EXPECT_EQ(run.exit_code, 0);   // hives are on disk now
//
// Native (POSIX) code for the host only; nothing here runs on Windows.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace quillbank::e2e {

// A Windows program's run is told as a native one's (Wine's own messages
// land in its standard error).
using testing::EnvironmentAdditions;
using testing::ProgramRun;

// True when wine64 and wineserver are installed where the tests look for
// them (/usr/lib/wine/).
[[nodiscard]] bool WineAvailable();

// The Windows build of the program: $QUILLBANK_WINDOWS_PROGRAM, else
// build/win64/quillbank.exe of the source tree. Empty when neither exists.
[[nodiscard]] std::filesystem::path WindowsProgram();

// A Wine prefix made once per test program on first use (wineboot -i, then
// wineserver -w so it is complete on disk) in a temporary folder, removed when
// the test program ends. Empty when it could not be made. Takes about ten
// seconds; every later call returns the same folder at once.
[[nodiscard]] const std::filesystem::path& TemplatePrefix();

// A fresh copy of the template prefix for one scenario, in its own temporary
// folder: its registry, drive C: and settings belong to the scenario alone
// (the system's DLLs below drive_c/windows/system32 and winsxs, which nothing
// writes, are shared with the template by hard links to save time and disk).
// On destruction the prefix's wineserver is ended and the folder removed.
class ScenarioPrefix {
 public:
  ScenarioPrefix();
  ~ScenarioPrefix();
  ScenarioPrefix(const ScenarioPrefix&) = delete;
  ScenarioPrefix& operator=(const ScenarioPrefix&) = delete;

  [[nodiscard]] bool ok() const { return !path_.empty(); }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // The prefix's drive C:, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE files.
  [[nodiscard]] std::filesystem::path DriveC() const { return path_ / "drive_c"; }
  [[nodiscard]] std::filesystem::path UserHive() const { return path_ / "user.reg"; }
  [[nodiscard]] std::filesystem::path SystemHive() const { return path_ / "system.reg"; }
  // The Unix user's folder below drive_c/users (its AppData holds the log);
  // empty when there is none.
  [[nodiscard]] std::filesystem::path UserFolder() const;

 private:
  std::filesystem::path path_;
};

// Copies the template prefix to `destination` (which must not exist yet) as
// ScenarioPrefix does. False when there is no template or the copy failed.
[[nodiscard]] bool CopyTemplatePrefix(const std::filesystem::path& destination);

// Runs a Windows program under wine64 in `prefix` (WINEPREFIX, WINEDEBUG=-all,
// the working folder is the prefix's drive C:) with `args`, standard input
// empty, and the environment additions (they reach the Windows program as
// environment variables). `program` is a Unix path to an .exe or a Windows
// program name such as "cmd" or "reg". Wine builds the Windows command line
// from the arguments, quoting those that contain blanks.
// When the program has ended, the prefix's wineserver is ended too (its
// remaining processes, such as a client the program started, are killed) and
// waited for, so the registry hives are written to disk before this returns.
// A program still running after `timeout` is killed (timed_out is set).
[[nodiscard]] ProgramRun RunWindowsProgram(const std::filesystem::path& prefix,
                                           const std::string& program,
                                           const std::vector<std::string>& args,
                                           const EnvironmentAdditions& environment = {},
                                           std::chrono::seconds timeout = std::chrono::seconds(120));

// Like RunWindowsProgram, but leaves the prefix's wineserver and its other
// programs running: for a program that works on a window of one of them.
[[nodiscard]] ProgramRun RunWindowsProgramBeside(const std::filesystem::path& prefix,
                                                 const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 const EnvironmentAdditions& environment = {},
                                                 std::chrono::seconds timeout = std::chrono::seconds(60));

// A Windows program running under wine64 in the background (standard input
// and output go nowhere), such as a dialog that another program drives.
// Killed with its process group if it is still running on destruction.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::filesystem::path& prefix, const std::string& program,
                    const std::vector<std::string>& args, const EnvironmentAdditions& environment = {});

  [[nodiscard]] bool started() const { return process_.started(); }
  // Waits up to `timeout` for the program to end; its exit code, or nullopt
  // when it is still running (or did not exit by itself).
  std::optional<int> Wait(std::chrono::milliseconds timeout);

 private:
  testing::BackgroundProcess process_;
};

// Ends the wineserver of `prefix` and its processes, and waits until it has
// gone (its hives are then on disk). Harmless when none runs.
void EndWineServer(const std::filesystem::path& prefix);

}  // namespace quillbank::e2e
