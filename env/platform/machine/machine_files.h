// The files of the machine folder: drive C: is its drive_c/ folder, and a
// Windows path is found below it component by component without regard to
// case, as Windows would.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "env/platform/posix/host_file_service.h"

namespace quillbank {

class MachineFiles final : public HostFileService {
 public:
  explicit MachineFiles(std::filesystem::path drive_c)
      : HostFileService("\\/"), drive_c_(std::move(drive_c)) {}

  // The host path of a Windows path on drive C:; none for other drives.
  [[nodiscard]] std::optional<std::filesystem::path> Resolve(
      const std::string& windows_path) const override;

 private:
  std::filesystem::path drive_c_;
};

}  // namespace quillbank
