// Files of the running Windows system (kernel32, narrow functions). Files are
// handled in binary: the bytes read are the bytes on disk. A write counts as
// done only when every write, the flush to disk and the close succeeded.
#include <windows.h>

// <windows.h> maps these names to their narrow or wide variants; here they
// are the seam's own member functions.
#undef DeleteFile

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "env/platform/win32/win32_handles.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

using win32::UniqueFind;
using win32::UniqueHandle;

// ReadFile/WriteFile move at most a DWORD's worth per call.
constexpr std::size_t kChunk = 1u << 30;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min(bytes.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), wanted, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Opened with FILE_APPEND_DATA only: the system puts every write at the end
// of the file as it is then, so writers sharing the file never overwrite each
// other's lines.
class Win32AppendFile final : public AppendFile {
 public:
  explicit Win32AppendFile(UniqueHandle file) : file_(std::move(file)) {}

  bool Append(std::string_view bytes) override {
    if (!file_.valid()) return false;
    return WriteAll(file_.get(), bytes) && FlushFileBuffers(file_.get());
  }

  bool Close() override {
    if (!file_.valid()) return false;
    return file_.Reset();
  }

 private:
  UniqueHandle file_;
};

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

constexpr int kTemporaryAttempts = 100;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An existing file's path with its name spelled as the folder holds it.
// Replacing gives the file the name it is asked by, so a file found without
// regard to case would otherwise be renamed; the user's file keeps its name.
std::string AsNamedInFolder(const std::string& path) {
  WIN32_FIND_DATAA entry;
  const UniqueFind find(FindFirstFileA(path.c_str(), &entry));
  if (!find.valid()) return path;
  const std::string name = entry.cFileName;
  // A name the code page cannot hold comes back with '?' in it.
  if (name.find('?') != std::string::npos) return path;
  return FolderOf(path) + name;
}

// GetFinalPathNameByHandleA exists from Vista on; the program also runs
// where it does not (and where files cannot be symbolic links either).
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

FinalPathFunction FinalPathName() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel ? reinterpret_cast<FinalPathFunction>(
                      reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleA")))
                : nullptr;
}

// The file a path names in the end: a symbolic link is followed to the file
// it names, which is the one to replace. Any other path is returned as it
// is; none when a link cannot be followed.
std::optional<std::string> FinalTarget(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  const FinalPathFunction final_path = FinalPathName();
  if (!final_path) return std::nullopt;
  UniqueHandle file(CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return std::nullopt;
  char buffer[MAX_PATH * 4];
  const DWORD length = final_path(file.get(), buffer, sizeof buffer, 0 /* FILE_NAME_NORMALIZED */);
  if (length == 0 || length >= sizeof buffer) return std::nullopt;
  return std::string(buffer, length);  // "\\?\C:\..." is a path the A calls take
}

// A temporary file this process created, deleted again unless it took its
// target's place.
class TemporaryFile final {
 public:
  // CREATE_NEW: a file or link already at the name makes the attempt fail
  // instead of being written through.
  static std::optional<TemporaryFile> CreateBeside(const std::string& target, DWORD attributes) {
    const std::string stem = FolderOf(target) + "." + NameOf(target) + "." +
                             std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
      const std::string path = stem + std::to_string(attempt) + ".quillbank-tmp";
      UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    attributes, nullptr));
      if (file.valid()) return TemporaryFile(path, std::move(file));
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return std::nullopt;
    }
    return std::nullopt;
  }

  TemporaryFile(TemporaryFile&& other) noexcept
      : path_(std::move(other.path_)), file_(std::move(other.file_)),
        placed_(std::exchange(other.placed_, true)) {}
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile() {
    file_.Reset();
    if (!placed_) ::DeleteFileA(path_.c_str());
  }

  [[nodiscard]] const std::string& path() const { return path_; }

  // Written, flushed to disk and closed: only then may the file take a place.
  [[nodiscard]] bool WriteFlushAndClose(std::string_view bytes) {
    const bool written = WriteAll(file_.get(), bytes) && FlushFileBuffers(file_.get());
    const bool closed = file_.Reset();
    return written && closed;
  }

  // ReplaceFile keeps the old file's attributes and security; a missing
  // target is simply named by a move.
  [[nodiscard]] bool Replace(const std::string& target, bool exists) {
    placed_ = exists ? ::ReplaceFileA(target.c_str(), path_.c_str(), nullptr,
                                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                     : MoveFileExA(path_.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return placed_;
  }

 private:
  TemporaryFile(std::string path, UniqueHandle file)
      : path_(std::move(path)), file_(std::move(file)) {}

  std::string path_;
  UniqueHandle file_;
  bool placed_ = false;
};

class Win32Files final : public Files {
 public:
  std::optional<std::string> ReadFile(const std::string& path) override {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    std::string content;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                      nullptr)) {
        return std::nullopt;
      }
      if (read == 0) break;
      content.append(buffer.data(), read);
    }
    return content;
  }

  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    UniqueHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return nullptr;
    return std::make_unique<Win32AppendFile>(std::move(file));
  }

  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    std::optional<std::string> target = FinalTarget(path);
    if (!target) return FileWrite::Failed;
    const DWORD attributes = Attributes(*target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return FileWrite::Failed;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FileWrite::Failed;
    // Windows refuses to replace a read-only file, and so does the program.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return FileWrite::ReadOnly;
    if (exists) target = AsNamedInFolder(*target);

    // The new file starts with the old one's attributes: ReplaceFile would
    // carry them over, but not every implementation of it does (Wine's).
    constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD carried = exists ? attributes & kCarried : 0;
    std::optional<TemporaryFile> temporary =
        TemporaryFile::CreateBeside(*target, carried ? carried : FILE_ATTRIBUTE_NORMAL);
    if (!temporary || !temporary->WriteFlushAndClose(bytes) || !temporary->Replace(*target, exists)) {
      return FileWrite::Failed;
    }
    return FileWrite::Written;
  }

  bool DeleteFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    return ::CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
  }
  bool RemoveFolder(const std::string& path) override {
    return ::RemoveDirectoryA(path.c_str()) != 0;
  }

  bool CreateFolder(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != 0 || FolderExists(path);
  }

  bool FileExists(const std::string& path) override {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool FolderExists(const std::string& path) override {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::vector<std::string> ListFolder(const std::string& pattern) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFind find(FindFirstFileA(pattern.c_str(), &entry));
    if (!find.valid()) return names;
    do {
      const std::string name = entry.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find.get(), &entry));
    return names;
  }
};

}  // namespace

std::unique_ptr<Files> MakeWin32Files() { return std::make_unique<Win32Files>(); }

}  // namespace quillbank
