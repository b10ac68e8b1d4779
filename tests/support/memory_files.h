// Files kept in memory, with Windows' rules: paths compared without regard to
// case, "\" and "/" alike, a file can only be written into an existing folder,
// and folder listings sorted as NTFS lists them. Tests can make writes fail to
// stand for a full disk.
#pragma once

#include <map>
#include <set>
#include <string>

#include "env/platform/platform.h"

namespace quillbank::testing {

class MemoryFiles final : public Files {
 public:
  MemoryFiles();

  std::optional<std::string> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, std::string_view bytes) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool DeleteFile(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& pattern) override;

  // Test set-up: creates every missing folder above the file, then the file.
  void Put(const std::string& path, std::string_view bytes);
  // Creates the folder and every missing folder above it.
  void MakeFolders(const std::string& path);
  // Every file path currently held, in the case it was written.
  [[nodiscard]] std::vector<std::string> AllFiles() const;

  // While set, WriteFile of a path whose name ends with this text stores only
  // half of the bytes and fails, as a full disk would.
  void FailWritesEndingWith(std::string suffix) { fail_suffix_ = std::move(suffix); }
  // While set, ReplaceFile fails and leaves both files as they were.
  void FailReplaces(bool fail) { fail_replace_ = fail; }

 private:
  struct Entry {
    std::string path;  // as first written
    std::string bytes;
  };
  std::map<std::string, Entry> files_;  // keyed by normalised path
  std::map<std::string, std::string> folders_;
  std::string fail_suffix_;
  bool fail_replace_ = false;

  friend class MemoryAppendFile;
  void AppendTo(const std::string& key, std::string_view bytes);
};

// Normalises a Windows path for comparison: "/" to "\", upper case, no
// trailing backslash.
[[nodiscard]] std::string NormalisePath(const std::string& path);

// Wildcard match of "*" and "?" without regard to case.
[[nodiscard]] bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace quillbank::testing
