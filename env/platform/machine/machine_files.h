// The files of the machine folder: drive C: is its drive_c/ folder, and a
// Windows path is found below it component by component without regard to
// case, as Windows would.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class MachineFiles final : public Files {
 public:
  explicit MachineFiles(std::filesystem::path drive_c) : drive_c_(std::move(drive_c)) {}

  std::optional<std::string> ReadFile(const std::string& path) override;
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& pattern) override;

  // The host path of a Windows path on drive C:; none for other drives.
  [[nodiscard]] std::optional<std::filesystem::path> Resolve(const std::string& windows_path) const;

 private:
  std::filesystem::path drive_c_;
};

}  // namespace quillbank
