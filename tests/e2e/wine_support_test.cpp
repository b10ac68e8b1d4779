// The helpers the end-to-end tests stand on: a prefix is made and copied, a
// Windows program runs in it and returns its exit code and output, and what
// it writes to the registry is in the prefix's hive file once it returns.
#include "tests/e2e/wine_support.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <optional>

#include "tests/support/host_file.h"
#include "tests/support/program_run.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::RunNativeProgram;

TEST(WineSupportTest, AWindowsProgramRunsInAScenarioPrefixAndItsRegistryReachesTheDisk) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());

  const ProgramRun exit3 = RunWindowsProgram(prefix.path(), "cmd", {"/c", "exit", "3"});
  EXPECT_FALSE(exit3.timed_out);
  EXPECT_EQ(exit3.exit_code, 3) << exit3.err;

  // An argument with a blank reaches the Windows command line quoted.
  const ProgramRun echo = RunWindowsProgram(prefix.path(), "cmd", {"/c", "echo", "Jane Doe"});
  EXPECT_EQ(echo.exit_code, 0);
  EXPECT_EQ(echo.out, "\"Jane Doe\"\r\n");

  const ProgramRun added = RunWindowsProgram(
      prefix.path(), "reg",
      {"add", "HKCU\\Software\\QuillbankE2E", "/v", "Account Name", "/d", "Jane", "/f"});
  EXPECT_EQ(added.exit_code, 0) << added.out << added.err;
  const std::string hive = ReadHostFile(prefix.UserHive());
  EXPECT_NE(hive.find("[Software\\\\QuillbankE2E]"), std::string::npos);
  EXPECT_NE(hive.find("\"Account Name\"=\"Jane\""), std::string::npos);

  // The environment additions reach the Windows program.
  const ProgramRun env = RunWindowsProgram(prefix.path(), "cmd", {"/c", "echo", "%QB_E2E_VALUE%"},
                                           {{"QB_E2E_VALUE", "from the test"}});
  EXPECT_EQ(env.out, "from the test\r\n");
}

TEST(WineSupportTest, ScenarioPrefixesAreIndependentCopiesOfTheTemplate) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  fs::path removed;
  {
    ScenarioPrefix first;
    ScenarioPrefix second;
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    EXPECT_NE(first.path(), second.path());
    EXPECT_TRUE(fs::is_symlink(first.path() / "dosdevices" / "c:"));
    EXPECT_EQ(ReadHostFile(first.UserHive()), ReadHostFile(TemplatePrefix() / "user.reg"));

    EXPECT_EQ(RunWindowsProgram(first.path(), "reg",
                                {"add", "HKLM\\Software\\QuillbankE2E", "/v", "n", "/t",
                                 "REG_DWORD", "/d", "7", "/f"})
                  .exit_code,
              0);
    EXPECT_NE(ReadHostFile(first.SystemHive()).find("\"n\"=dword:00000007"), std::string::npos);
    EXPECT_EQ(ReadHostFile(second.SystemHive()).find("QuillbankE2E"), std::string::npos);
    EXPECT_EQ(ReadHostFile(TemplatePrefix() / "system.reg").find("QuillbankE2E"), std::string::npos);
    removed = first.path();
  }
  EXPECT_FALSE(fs::exists(removed));
}

TEST(WineSupportTest, NativeProgramsSeeTheirMachineFolderAndAreStoppedWhenTheyHang) {
  const fs::path machine = "/tmp/some machine";
  const ProgramRun shown =
      RunNativeProgram(machine, "/bin/sh", {"-c", "printf %s \"$QUILLBANK_MACHINE\"; exit 4"});
  EXPECT_EQ(shown.exit_code, 4);
  EXPECT_EQ(shown.out, machine.string());

  const auto started = std::chrono::steady_clock::now();
  const ProgramRun hung =
      RunNativeProgram(machine, "/bin/sleep", {"30"}, {}, std::chrono::seconds(1));
  EXPECT_TRUE(hung.timed_out);
  EXPECT_EQ(hung.exit_code, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

  EXPECT_EQ(RunNativeProgram(machine, "/no/such/program", {}).exit_code, 127);

  // In the background: the exit code once it has ended by itself, none when
  // a signal to its group ended it.
  testing::BackgroundProcess exits({{"/bin/sh", "-c", "exit 5"}});
  EXPECT_TRUE(exits.WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(exits.exit_code(), std::optional<int>(5));
  testing::BackgroundProcess sleeps({{"/bin/sleep", "30"}});
  EXPECT_FALSE(sleeps.WaitForEnd(std::chrono::milliseconds(0)));
  sleeps.SignalGroup(SIGKILL);
  EXPECT_TRUE(sleeps.WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(sleeps.exit_code(), std::nullopt);
}

}  // namespace
}  // namespace quillbank::e2e
