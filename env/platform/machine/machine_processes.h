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

// The host's processes now, each named as the system reports it (Wine names
// its processes after the Windows executable).
[[nodiscard]] std::vector<ProcessEntry> ListMachineProcesses();

// True while a running wineserver among `processes` serves the prefix
// `folder`: the hives on disk are not current then. A wineserver works in a
// folder named after the prefix's device and inode ("server-fe00-a7224c");
// its current folder shows it.
[[nodiscard]] bool ServedByWineserver(const std::filesystem::path& folder,
                                      const std::vector<ProcessEntry>& processes);

class MachineProcesses final : public HostProcesses {
 public:
  // `folder` is the prefix that Wine starts commands in. `listed` is the
  // list the opening of the machine took, which the first List() gives
  // again rather than read every process of the host a second time.
  MachineProcesses(std::filesystem::path folder, std::vector<ProcessEntry> listed)
      : folder_(std::move(folder)), listed_(std::move(listed)) {}

  std::vector<ProcessEntry> List() override;
  bool Start(const std::string& command_line) override;

 private:
  std::filesystem::path folder_;
  std::vector<ProcessEntry> listed_;
  bool listed_given_ = false;
};

}  // namespace quillbank
