// Forwards every call to another Files; a test derives from it and overrides
// only the calls it wants to fail or watch.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank::testing {

class FilesWrapper : public Files {
 public:
  explicit FilesWrapper(Files& target) : target_(target) {}

  std::optional<std::string> ReadFile(const std::string& path) override {
    return target_.ReadFile(path);
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    return target_.OpenForAppend(path);
  }
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    return target_.ReplaceContents(path, bytes);
  }
  bool DeleteFile(const std::string& path) override { return target_.DeleteFile(path); }
  bool CreateFolder(const std::string& path) override { return target_.CreateFolder(path); }
  bool RemoveFolder(const std::string& path) override { return target_.RemoveFolder(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return target_.FolderExists(path); }
  std::vector<std::string> ListFolder(const std::string& pattern) override {
    return target_.ListFolder(pattern);
  }

 private:
  Files& target_;
};

}  // namespace quillbank::testing
