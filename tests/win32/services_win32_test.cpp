// Processes, environment, clock, UUIDs and the command text of the running
// system (Wine's under the test runner).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include "env/platform/system.h"
#include "env/platform/win32/win32_platform.h"
#include "tests/support/child_mode.h"

namespace quillbank {
namespace {

// Children the process tests start through a renamed copy of this program.
int SleepForAMinute() {
  Sleep(60000);
  return 0;
}
int SleepForTwoSeconds() {
  Sleep(2000);
  return 0;
}
[[maybe_unused]] const bool kSleepers =
    testing::RegisterChild("sleep-a-minute", &SleepForAMinute) &&
    testing::RegisterChild("sleep-two-seconds", &SleepForTwoSeconds);

std::string OwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

class Win32ProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    name_ = "qbchild-" + MakeWin32Uuids()->NewUuid().substr(0, 8) + ".exe";
    copy_ = std::string(temp) + name_;
    ASSERT_TRUE(CopyFileA(OwnPath().c_str(), copy_.c_str(), FALSE));
  }
  void TearDown() override {
    for (int i = 0; i < 50 && !DeleteFileA(copy_.c_str()); ++i) Sleep(100);
  }
  // Starts the copy as one of the children above, its output going
  // nowhere: with no handles inherited, the child would otherwise write into
  // this program's output.
  bool StartChild(const char* child) {
    const HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetStdHandle(STD_ERROR_HANDLE, nul);
    const bool started = processes_->Start(ChildCommand(child));
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    CloseHandle(nul);
    return started;
  }
  std::string ChildCommand(const char* child) const {
    return "\"" + copy_ + "\" " + testing::ChildArgument(child);
  }
  // The id of the running copy, once the process list shows it.
  std::uint32_t FindChild() {
    for (int i = 0; i < 150; ++i) {
      for (const ProcessEntry& entry : processes_->List()) {
        if (entry.executable == name_) return entry.id;
      }
      Sleep(100);
    }
    return 0;
  }

  std::unique_ptr<Processes> processes_ = MakeWin32Processes();
  std::string name_;
  std::string copy_;
};

TEST_F(Win32ProcessesTest, TheListNamesEachProcessByItsExecutableFileName) {
  bool found = false;
  for (const ProcessEntry& entry : processes_->List()) {
    if (entry.id == GetCurrentProcessId()) {
      found = true;
      EXPECT_EQ(entry.executable, FileName(OwnPath()));
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(Win32ProcessesTest, AStartedChildCanBeWaitedForAndTerminated) {
  ASSERT_TRUE(StartChild("sleep-a-minute"));
  const std::uint32_t child = FindChild();
  ASSERT_NE(child, 0u);
  EXPECT_FALSE(processes_->WaitForExit(child, 200));  // still sleeping
  EXPECT_TRUE(processes_->Terminate(child));
  EXPECT_TRUE(processes_->WaitForExit(child, 10000));
  for (const ProcessEntry& entry : processes_->List()) EXPECT_NE(entry.executable, name_);
}

TEST_F(Win32ProcessesTest, WaitingReturnsOnceAChildEndsByItselfAndForAnUnknownId) {
  ASSERT_TRUE(StartChild("sleep-two-seconds"));
  const std::uint32_t child = FindChild();
  ASSERT_NE(child, 0u);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(processes_->WaitForExit(child, 30000));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_TRUE(processes_->WaitForExit(child, 0));
  EXPECT_TRUE(processes_->WaitForExit(0xFFFFFFF0u, 10000));  // no such process
}

TEST_F(Win32ProcessesTest, StartingAMissingProgramFails) {
  EXPECT_FALSE(processes_->Start("C:\\no\\such\\program.exe"));
  EXPECT_FALSE(processes_->Start(""));
}

TEST(Win32EnvironmentTest, VariablesAreFoundWithoutRegardToCase) {
  const std::unique_ptr<Environment> environment = MakeWin32Environment();
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLBANK_TEST_VALUE", "C:\\Users\\jane"));
  EXPECT_EQ(environment->Get("quillbank_test_value"), "C:\\Users\\jane");
  const std::string longer(5000, 'v');
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLBANK_TEST_VALUE", longer.c_str()));
  EXPECT_EQ(environment->Get("QUILLBANK_TEST_VALUE"), longer);
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLBANK_TEST_VALUE", ""));
  EXPECT_EQ(environment->Get("QUILLBANK_TEST_VALUE"), "");
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLBANK_TEST_VALUE", nullptr));
  EXPECT_EQ(environment->Get("QUILLBANK_TEST_VALUE"), std::nullopt);
  EXPECT_NE(environment->Get("SystemRoot"), std::nullopt);
}

TEST(Win32ClockTest, NowIsTheLocalTime) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const LocalTime now = MakeWin32Clock()->Now();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 60);
}

TEST(Win32UuidTest, UuidsAreRandomLowerCaseAndDistinct) {
  const std::unique_ptr<UuidSource> uuids = MakeWin32Uuids();
  const std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  const std::string first = uuids->NewUuid();
  const std::string second = uuids->NewUuid();
  EXPECT_TRUE(std::regex_match(first, form)) << first;
  EXPECT_TRUE(std::regex_match(second, form)) << second;
  EXPECT_NE(first, second);
}

TEST(Win32CommandTextTest, TheProgramPathAndTheBlanksAfterItAreSkipped) {
  EXPECT_EQ(CommandTextAfterProgram("\"C:\\Program Files\\Quillbank\\quillbank.exe\" -auto -x"),
            "-auto -x");
  EXPECT_EQ(CommandTextAfterProgram("quillbank.exe \t -n \"Jane Doe\" -a j@example.com "),
            "-n \"Jane Doe\" -a j@example.com ");
  EXPECT_EQ(CommandTextAfterProgram("quillbank.exe"), "");
  EXPECT_EQ(CommandTextAfterProgram("\"quillbank.exe\""), "");
  EXPECT_EQ(CommandTextAfterProgram("\"quillbank.exe\"-auto"), "-auto");
  EXPECT_EQ(CommandTextAfterProgram("\"C:\\unterminated -auto"), "");
  EXPECT_EQ(CommandTextAfterProgram(""), "");
  // The running program's own command line.
  EXPECT_EQ(SystemCommandText(), CommandTextAfterProgram(GetCommandLineA()));
}

TEST(Win32SystemTest, OpenSystemAlwaysHandsOutTheServices) {
  SystemOpenResult opened = OpenSystem(SystemChoice::Default);
  ASSERT_NE(opened.services, nullptr);
  EXPECT_EQ(opened.error, "");
  Platform& platform = opened.services->platform();
  EXPECT_NE(platform.mapi, nullptr);
  EXPECT_NE(platform.environment.Get("SystemRoot"), std::nullopt);
}

}  // namespace
}  // namespace quillbank
