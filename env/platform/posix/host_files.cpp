#include "env/platform/posix/host_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "env/platform/large_text.h"
#include "env/platform/posix/unique_fd.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkDepth = 40;  // as the kernel's own limit
constexpr int kTemporaryAttempts = 100;
constexpr auto kLockRetry = std::chrono::milliseconds(50);

// The file a path names in the end, each symbolic link read against the
// folder it lies in. The path itself when nothing is there yet; none for a
// loop of links or a link that cannot be read.
std::optional<fs::path> FinalTarget(fs::path path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return path;
      return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) return path;
    std::error_code error;
    const fs::path link = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return std::nullopt;
}

fs::path FolderOf(const fs::path& path) {
  const fs::path folder = path.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

// A temporary file this process created, removed again unless it was put in
// its target's place.
class TemporaryFile final {
 public:
  // Creates the first free temporary name beside `target`. O_EXCL with
  // O_NOFOLLOW: a file or link planted at the name makes the attempt fail
  // instead of being written through.
  static std::optional<TemporaryFile> CreateBeside(const fs::path& target, mode_t mode) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
      const fs::path path = TemporaryPathBeside(target, attempt);
      UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
      if (fd.valid()) return TemporaryFile(path, std::move(fd));
      if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
  }

  TemporaryFile(TemporaryFile&& other) noexcept
      : path_(std::move(other.path_)), fd_(std::move(other.fd_)),
        placed_(std::exchange(other.placed_, true)) {}
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile() {
    fd_.Reset();
    if (!placed_) ::unlink(path_.c_str());
  }

  [[nodiscard]] int fd() const { return fd_.get(); }

  [[nodiscard]] bool WriteAll(std::string_view bytes) { return WriteAllTo(fd_.get(), bytes); }

  // Flushed to disk and closed: only then may the file take a place.
  [[nodiscard]] bool FlushAndClose() {
    const bool flushed = ::fsync(fd_.get()) == 0;
    return fd_.Reset() && flushed;
  }

  [[nodiscard]] bool RenameOver(const fs::path& target) {
    placed_ = ::rename(path_.c_str(), target.c_str()) == 0;
    return placed_;
  }

 private:
  TemporaryFile(fs::path path, UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}

  fs::path path_;
  UniqueFd fd_;
  bool placed_ = false;
};

// Gives the temporary file the old file's owner, then its mode (in this
// order: a change of owner clears the set-id bits).
bool TakeOverOwnerAndMode(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return false;  // a file that would change hands is not replaced
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// A rename is only lasting once the folder that holds the name is flushed.
bool FlushFolder(const fs::path& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return false;
  const bool flushed = ::fsync(fd.get()) == 0;
  return fd.Reset() && flushed;
}

// ReadOnly when the user marked the file so: no write bit at all (which root
// would otherwise ignore), or one this user may not write.
std::optional<FileWrite> RefusalFor(const fs::path& target, const struct stat& old) {
  if (!S_ISREG(old.st_mode)) return FileWrite::Failed;
  if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return FileWrite::ReadOnly;
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return errno == EACCES || errno == EROFS ? FileWrite::ReadOnly : FileWrite::Failed;
  }
  return std::nullopt;
}

}  // namespace

bool WriteAllTo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

fs::path TemporaryPathBeside(const fs::path& target, int attempt) {
  const std::string name = "." + target.filename().string() + "." + std::to_string(::getpid()) +
                           "-" + std::to_string(attempt) + ".quillbank-tmp";
  return FolderOf(target) / name;
}

// The file is read straight into the string, sized by what fstat says: a
// large prefs.js or hive is copied once, not streamed through a buffer that
// grows. Past that size the reads go through a small buffer, which finds the
// end of the file and still takes a file whose size is not known beforehand
// (those below /proc say 0) or that grew since.
std::optional<std::string> ReadHostFile(const fs::path& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  std::string content;
  if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)) {
    ReserveLargeText(content, static_cast<std::size_t>(info.st_size));
    content.resize(static_cast<std::size_t>(info.st_size));
  }
  std::size_t done = 0;
  char more[4096];
  for (;;) {
    const bool inside = done < content.size();
    char* into = inside ? content.data() + done : more;
    const std::size_t room = inside ? content.size() - done : sizeof more;
    const ssize_t got = ::read(fd.get(), into, room);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) return std::nullopt;
      content.resize(done);  // a file that shrank since
      return content;
    }
    if (!inside) content.append(more, static_cast<std::size_t>(got));
    done += static_cast<std::size_t>(got);
  }
}

namespace {

// Below this a file is read: a mapping costs more than the copy it saves.
constexpr std::size_t kWorthMapping = std::size_t{1} << 20;

// A private read-only mapping: the file's pages as the page cache has them.
// A file replaced by renaming another over it keeps its old pages here.
class MappedFile final : public FileView {
 public:
  MappedFile(void* address, std::size_t size) : address_(address), size_(size) {}
  ~MappedFile() override { ::munmap(address_, size_); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const override {
    return std::string_view(static_cast<const char*>(address_), size_);
  }

 private:
  void* address_;
  std::size_t size_;
};

}  // namespace

std::unique_ptr<FileView> ViewHostFile(const fs::path& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return nullptr;
  struct stat info {};
  const bool large = ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
                     static_cast<std::size_t>(info.st_size) >= kWorthMapping;
  void* address = large ? ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                                 MAP_PRIVATE, fd.get(), 0)
                        : MAP_FAILED;
  // A mapping holds the file by itself; a small file is opened again to be read.
  fd.Reset();
  if (address != MAP_FAILED) {
    return std::make_unique<MappedFile>(address, static_cast<std::size_t>(info.st_size));
  }
  std::optional<std::string> text = ReadHostFile(path);
  if (!text) return nullptr;
  return std::make_unique<HeldFileView>(std::move(*text));
}

bool HostFileHolds(const fs::path& path, std::string_view bytes) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  char piece[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0 && bytes.empty();
    const std::string_view read(piece, static_cast<std::size_t>(got));
    if (bytes.substr(0, read.size()) != read) return false;
    bytes.remove_prefix(read.size());
  }
}

FileWrite ReplaceHostFile(const fs::path& path, std::string_view bytes) {
  return ReplaceHostFile(path, std::vector<std::string_view>{bytes});
}

FileWrite ReplaceHostFile(const fs::path& path, const std::vector<std::string_view>& pieces) {
  const std::optional<fs::path> target = FinalTarget(path);
  if (!target) return FileWrite::Failed;
  struct stat old {};
  const bool exists = ::stat(target->c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return FileWrite::Failed;
  if (exists) {
    if (const std::optional<FileWrite> refusal = RefusalFor(*target, old)) return *refusal;
  }

  // An existing file's content is private until its mode is the old one; a
  // new file gets the usual mode (the umask applies).
  std::optional<TemporaryFile> temporary = TemporaryFile::CreateBeside(*target, exists ? 0600 : 0666);
  if (!temporary) return FileWrite::Failed;
  if (exists && !TakeOverOwnerAndMode(temporary->fd(), old)) return FileWrite::Failed;
  for (const std::string_view piece : pieces) {
    if (!temporary->WriteAll(piece)) return FileWrite::Failed;
  }
  if (!temporary->FlushAndClose()) return FileWrite::Failed;
  if (!temporary->RenameOver(*target)) return FileWrite::Failed;
  return FlushFolder(FolderOf(*target)) ? FileWrite::Written : FileWrite::Failed;
}

bool WriteHostFileReplacing(const fs::path& path, std::string_view bytes) {
  return ReplaceHostFile(path, bytes) == FileWrite::Written;
}

// ------------------------------------------------------------------- lock

bool FileLock::Open(const fs::path& file, std::string& error) {
  // Read access is all flock needs, so a lock file another user made works
  // as well. A link is not followed: the lock file is the folder's own.
  UniqueFd opened(::open(file.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!opened.valid()) {
    error = "cannot create the lock file " + file.string() + " (" + std::strerror(errno) +
            "), so runs could not be kept apart. Nothing was changed.";
  }
  fd_ = std::move(opened);  // after errno is read: closing a file opened before may change it
  return fd_.valid();
}

bool FileLock::Acquire(std::uint32_t timeout_ms) {
  if (!fd_.valid()) return false;
  if (held_) return true;
  // Polled rather than blocking, so that the wait has a bound.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kLockRetry);
  }
}

void FileLock::Release() {
  if (held_) ::flock(fd_.get(), LOCK_UN);
  held_ = false;
}

}  // namespace quillbank
