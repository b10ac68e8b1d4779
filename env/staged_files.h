// Files that take every change into memory and leave the system's files as
// they are, for a run that only shows what it would do. Reads see the run's
// own changes over the files underneath, so the run takes the same steps it
// would take for real. Appended lines (the run log) are kept apart: the log
// is not a store, and a preview prints its lines instead of writing them.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class StagedFiles final : public Files {
 public:
  // `separator` is the system's: "\" paths are compared as Windows compares
  // them (either slash, without regard to case), "/" paths as they stand.
  StagedFiles(Files& files, char separator) : files_(files), separator_(separator) {}

  std::optional<std::string> ReadFile(const std::string& path) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override;
  bool DeleteFile(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& pattern) override;

  // The lines appended to any file, in the order written.
  [[nodiscard]] const std::string& appended() const { return appended_; }

 private:
  struct Staged {
    std::string path;                   // as the run first named it
    std::optional<std::string> bytes;   // none: removed
  };
  [[nodiscard]] std::string Key(const std::string& path) const;
  [[nodiscard]] std::string ParentKey(const std::string& path) const;
  [[nodiscard]] const Staged* FindFile(const std::string& path) const;
  [[nodiscard]] const Staged* FindFolder(const std::string& path) const;
  [[nodiscard]] bool HasEntries(const std::string& folder);

  Files& files_;
  char separator_;
  std::map<std::string, Staged> staged_files_;    // keyed by Key(path)
  std::map<std::string, Staged> staged_folders_;  // bytes set: made; none: removed
  std::string appended_;

  friend class StagedAppendFile;
};

}  // namespace quillbank
