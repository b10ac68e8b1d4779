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
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override;
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

  // While set (not empty), replacing a file whose path ends with this text
  // fails and leaves the file as it was, as a full disk would.
  void FailWritesEndingWith(std::string suffix) { fail_suffix_ = std::move(suffix); }
  // Marks a file read-only: replacing or deleting it is refused.
  void MarkReadOnly(const std::string& path);
  // How many replacements were asked for, whatever became of them.
  [[nodiscard]] int replacements() const { return replacements_; }

 private:
  struct Entry {
    std::string path;  // as first written
    std::string bytes;
  };
  std::map<std::string, Entry> files_;  // keyed by normalised path
  std::map<std::string, std::string> folders_;
  std::set<std::string> read_only_;  // normalised paths
  std::string fail_suffix_;
  int replacements_ = 0;

  friend class MemoryAppendFile;
  void AppendTo(const std::string& key, std::string_view bytes);
};

// Normalises a Windows path for comparison: "/" to "\", upper case, no
// trailing backslash.
[[nodiscard]] std::string NormalisePath(const std::string& path);

}  // namespace quillbank::testing
