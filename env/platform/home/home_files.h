// The user's own files: the paths the program names in the home are host
// paths already, taken as they are ("\" is an ordinary character in a name).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "env/platform/posix/host_file_service.h"

namespace quillbank {

class HomeFiles final : public HostFileService {
 public:
  HomeFiles() : HostFileService("/") {}

  [[nodiscard]] std::optional<std::filesystem::path> Resolve(
      const std::string& path) const override {
    if (path.empty()) return std::nullopt;
    return std::filesystem::path(path);
  }
};

}  // namespace quillbank
