// The host's processes, as the machine folder's process service and the
// check for a wineserver serving the folder see them (through /proc).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "env/platform/posix/host_processes.h"

namespace quillbank {

// True while a running wineserver serves the prefix `folder`: the hives on
// disk are not current then. A wineserver works in a folder named after the
// prefix's device and inode ("server-fe00-a7224c"); its current folder shows it.
[[nodiscard]] bool ServedByWineserver(const std::filesystem::path& folder);

class MachineProcesses final : public HostProcesses {
 public:
  // `folder` is the prefix that Wine starts commands in.
  explicit MachineProcesses(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::vector<ProcessEntry> List() override;
  bool Start(const std::string& command_line) override;

 private:
  std::filesystem::path folder_;
};

}  // namespace quillbank
