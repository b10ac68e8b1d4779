// Host files as both POSIX systems (the machine folder and the user's home)
// handle them: how one is read, how one is replaced safely, and the lock
// file that lets one run at a time change the system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"
#include "env/platform/posix/unique_fd.h"

namespace quillbank {

// A host file's bytes as they are; none when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadHostFile(const std::filesystem::path& path);

// True when the host file holds exactly `bytes`. Compared a piece at a time,
// so that checking a large hive costs no second copy of it.
[[nodiscard]] bool HostFileHolds(const std::filesystem::path& path, std::string_view bytes);

// A host file's bytes to read through: a large regular file is mapped
// read-only (no copy, and no fresh memory to clear), a small one read. Null
// when it cannot be read.
[[nodiscard]] std::unique_ptr<FileView> ViewHostFile(const std::filesystem::path& path);

// Replaces a host file's content as Files::ReplaceContents describes: a new
// temporary file beside the final target (symbolic links followed), created
// exclusively and without following a link at its name, given the target's
// owner and mode, written and fsync'ed, renamed over the target, and then the
// folder fsync'ed. When that last flush fails the new content is already in
// place, but the change is not known to last, so the result is Failed.
[[nodiscard]] FileWrite ReplaceHostFile(const std::filesystem::path& path,
                                        const std::vector<std::string_view>& pieces);
[[nodiscard]] FileWrite ReplaceHostFile(const std::filesystem::path& path, std::string_view bytes);
// The same, true when the file was written.
[[nodiscard]] bool WriteHostFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// Writes every byte to `fd`, again after an interrupted call; false when a
// write fails.
[[nodiscard]] bool WriteAllTo(int fd, std::string_view bytes);

// The name the `attempt`-th temporary file for `target` gets (a hidden name
// with the process id, so two processes never pick the same one and a
// folder listing by the target's own pattern does not show it).
[[nodiscard]] std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target,
                                                        int attempt);

// An exclusive flock on a lock file. The lock goes with the open file, so
// the system lets it go when the process ends, however it ends. It is the
// home's run lock as it is; the machine folder's wraps it.
class FileLock final : public RunLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens (creating) the lock file; false with the reason in `error`.
  [[nodiscard]] bool Open(const std::filesystem::path& file, std::string& error);
  // Tries the lock until it is granted or `timeout_ms` have passed.
  [[nodiscard]] bool Acquire(std::uint32_t timeout_ms) override;
  void Release() override;

 private:
  UniqueFd fd_;  // closing it lets the lock go
  bool held_ = false;
};

}  // namespace quillbank
