// The Files service over host files, shared by the machine folder and the
// user's home. They differ only in how a path the program names becomes a
// host path: the machine folder finds a Windows path below its drive_c/
// folder, the home takes a host path as it is.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class HostFileService : public Files {
 public:
  // `separators` are the characters that end a folder's name in the paths
  // the program names ("\\/" for Windows paths, "/" for host paths).
  explicit HostFileService(std::string_view separators) : separators_(separators) {}

  std::optional<std::string> ReadFile(const std::string& path) final;
  std::unique_ptr<FileView> ViewFile(const std::string& path) final;
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) final;
  FileWrite ReplaceContentsInPieces(const std::string& path,
                                    const std::vector<std::string_view>& pieces) final;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) final;
  bool DeleteFile(const std::string& path) final;
  bool LinkFile(const std::string& existing, const std::string& link) final;
  bool RemoveFolder(const std::string& path) final;
  bool CreateFolder(const std::string& path) final;
  bool FileExists(const std::string& path) final;
  bool FolderExists(const std::string& path) final;
  std::vector<std::string> ListFolder(const std::string& pattern) final;

  // The host path of a path the program names; none when it names nothing
  // this system has.
  [[nodiscard]] virtual std::optional<std::filesystem::path> Resolve(
      const std::string& path) const = 0;

 private:
  std::string separators_;
};

}  // namespace quillbank
