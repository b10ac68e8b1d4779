// The run lock of a Windows session: a named mutex in the session's own
// namespace, so that runs of the program by the same logged-on user wait for
// each other, and a mutex left by a process that ended counts as free.
#include <windows.h>

#include "env/platform/win32/win32_handles.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

constexpr const char* kMutexName = "Local\\Quillbank";

class Win32RunLock final : public RunLock {
 public:
  bool Acquire(std::uint32_t timeout_ms) override {
    if (held_) return true;
    if (!mutex_.valid()) mutex_.Reset(CreateMutexA(nullptr, FALSE, kMutexName));
    if (!mutex_.valid()) return false;
    const DWORD waited = WaitForSingleObject(mutex_.get(), timeout_ms);
    // An abandoned mutex is owned now too: its last owner ended without
    // letting it go, and what it changed is on disk or was never written.
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return held_;
  }

  void Release() override {
    if (held_) ReleaseMutex(mutex_.get());
    held_ = false;
  }

 private:
  win32::UniqueHandle mutex_;
  bool held_ = false;
};

}  // namespace

std::unique_ptr<RunLock> MakeWin32RunLock() { return std::make_unique<Win32RunLock>(); }

}  // namespace quillbank
