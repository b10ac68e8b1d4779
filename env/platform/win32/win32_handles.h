// Owners for the handles the Windows backend opens, so that every path closes
// what it opened, and the one place where the thread's last error is read.
// Included by the backend's sources only (it brings in <windows.h>).
#pragma once

#include <windows.h>

#include <utility>

namespace quillbank::win32 {

// Owns one handle; `Close` is the function that releases it, and `Invalid`
// the value that means "no handle" for that kind.
template <typename Handle, typename Traits>
class UniqueOwner final {
 public:
  UniqueOwner() = default;
  explicit UniqueOwner(Handle handle) : handle_(handle) {}
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.Release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueOwner() { Reset(); }

  [[nodiscard]] Handle get() const { return handle_; }
  [[nodiscard]] bool valid() const { return Traits::IsValid(handle_); }
  // For calls that hand out a handle through a pointer; the owner must be
  // empty.
  [[nodiscard]] Handle* out() { return &handle_; }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  // Closes the handle now; false when closing failed (or there was none).
  bool Reset(Handle handle = Traits::Invalid()) {
    const Handle old = std::exchange(handle_, handle);
    return Traits::IsValid(old) && Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct HkeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool IsValid(HKEY key) { return key != nullptr; }
  static bool Close(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};

// Kernel handles: files (INVALID_HANDLE_VALUE on failure) and processes,
// snapshots (null on failure) alike.
struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) { return CloseHandle(handle) != 0; }
};

struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) { return FindClose(handle) != 0; }
};

using UniqueHkey = UniqueOwner<HKEY, HkeyTraits>;
using UniqueHandle = UniqueOwner<HANDLE, KernelHandleTraits>;
using UniqueFind = UniqueOwner<HANDLE, FindHandleTraits>;

// The calling thread's last Win32 error, as the registry seam numbers errors
// (0 success, 2 not found, 5 access denied, ...).
[[nodiscard]] inline long LastError() { return static_cast<long>(GetLastError()); }

}  // namespace quillbank::win32
