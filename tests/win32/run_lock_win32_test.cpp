// The session's run lock across processes (Wine's wineserver keeps the named
// mutex under the test runner): a second process finds it taken, gets it once
// it is let go, and gets it too when its holder ended without letting go.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "env/platform/win32/win32_platform.h"
#include "tests/support/child_mode.h"

namespace quillbank {
namespace {

// Children of the test below; each exits with 0 when it saw what it expected.
int FindTheLockTaken() { return MakeWin32RunLock()->Acquire(300) ? 1 : 0; }
int GetTheLock() { return MakeWin32RunLock()->Acquire(300) ? 0 : 1; }
int TakeTheLockAndEndHoldingIt() {
  std::unique_ptr<RunLock> lock = MakeWin32RunLock();
  if (!lock->Acquire(300)) return 1;
  ExitProcess(0);  // without Release
}
[[maybe_unused]] const bool kChildren =
    testing::RegisterChild("find-the-lock-taken", &FindTheLockTaken) &&
    testing::RegisterChild("get-the-lock", &GetTheLock) &&
    testing::RegisterChild("take-the-lock-and-end-holding-it", &TakeTheLockAndEndHoldingIt);

// Runs one of the children in a new process of this program; its exit
// code, or -1 when it could not be run or did not end in time.
int RunChild(const char* child) {
  char own[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string command = "\"" + std::string(own, length) + "\" " + testing::ChildArgument(child);
  // The child's output goes nowhere rather than into this program's.
  const HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process) != 0;
  CloseHandle(nul);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(Win32RunLockTest, OneProcessAtATimeHoldsTheLock) {
  std::unique_ptr<RunLock> lock = MakeWin32RunLock();
  ASSERT_TRUE(lock->Acquire(1000));
  EXPECT_EQ(RunChild("find-the-lock-taken"), 0);
  lock->Release();
  EXPECT_EQ(RunChild("get-the-lock"), 0);

  // A holder that ended without letting go does not keep the next run out.
  EXPECT_EQ(RunChild("take-the-lock-and-end-holding-it"), 0);
  EXPECT_TRUE(lock->Acquire(1000));
  lock->Release();
}

}  // namespace
}  // namespace quillbank
