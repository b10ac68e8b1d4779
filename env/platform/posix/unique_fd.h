// The owner of one open POSIX file descriptor, so that every path closes what
// it opened: the POSIX side's counterpart of win32::UniqueOwner.
#pragma once

#include <unistd.h>

#include <utility>

namespace quillbank {

class UniqueFd final {
 public:
  UniqueFd() = default;
  // Takes `fd` as it comes from open(): a negative one is no descriptor.
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int Release() { return std::exchange(fd_, -1); }
  // Closes the descriptor now and takes `fd`; false when closing failed (or
  // there was none), with errno as close() left it.
  bool Reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    return old >= 0 && ::close(old) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace quillbank
