// Files of the running Windows system (kernel32, narrow functions). Files are
// handled in binary: the bytes read are the bytes on disk. A write counts as
// done only when every write, the flush to disk and the close succeeded.
#include <windows.h>

// <windows.h> maps these names to their narrow or wide variants; here they
// are the seam's own member functions.
#undef DeleteFile
#undef ReplaceFile

#include <algorithm>
#include <string>
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

  bool WriteFile(const std::string& path, std::string_view bytes) override {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const bool written = WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
    const bool closed = file.Reset();
    return written && closed;
  }

  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    UniqueHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return nullptr;
    return std::make_unique<Win32AppendFile>(std::move(file));
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool DeleteFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }
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
