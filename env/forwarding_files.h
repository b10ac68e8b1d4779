// Files that pass every call on to other Files: the base of the services a
// run goes through (recording, journaling), each overriding only the calls
// that change something.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class ForwardingFiles : public Files {
 public:
  explicit ForwardingFiles(Files& files) : files_(files) {}

  std::optional<std::string> ReadFile(const std::string& path) override {
    return files_.ReadFile(path);
  }
  std::unique_ptr<FileView> ViewFile(const std::string& path) override {
    return files_.ViewFile(path);
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    return files_.OpenForAppend(path);
  }
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    return files_.ReplaceContents(path, bytes);
  }
  FileWrite ReplaceContentsInPieces(const std::string& path,
                                    const std::vector<std::string_view>& pieces) override {
    return files_.ReplaceContentsInPieces(path, pieces);
  }
  bool DeleteFile(const std::string& path) override { return files_.DeleteFile(path); }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    return files_.LinkFile(existing, link);
  }
  bool CreateFolder(const std::string& path) override { return files_.CreateFolder(path); }
  bool RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }
  bool FileExists(const std::string& path) override { return files_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return files_.FolderExists(path); }
  std::vector<std::string> ListFolder(const std::string& pattern) override {
    return files_.ListFolder(pattern);
  }

 protected:
  Files& files_;
};

}  // namespace quillbank
