// The user's own processes: the ones running with this user's real uid,
// named after the file of their executable.
#pragma once

#include <string>
#include <vector>

#include "env/platform/posix/host_processes.h"

namespace quillbank {

class HomeProcesses final : public HostProcesses {
 public:
  // Sorted by id. A process whose executable cannot be read (its file is
  // hidden from this user) is named by its command name instead.
  std::vector<ProcessEntry> List() override;
  // Runs the command line through /bin/sh -c, detached, without waiting.
  bool Start(const std::string& command_line) override;
};

}  // namespace quillbank
