// The user's space of a Windows machine, real or stood in for by a folder:
// Windows paths, no home or state folder of the program's own (the log lives
// in the application data folder), and none of the host facts that only the
// Linux home's clients ask for.
#pragma once

#include "env/platform/platform.h"

namespace quillbank {

class WindowsUserSpace final : public UserSpace {
 public:
  char PathSeparator() const override { return '\\'; }
  std::optional<std::string> HomeFolder() override { return std::nullopt; }
  std::optional<std::string> StateFolder() override { return std::nullopt; }
  bool OnPath(const std::string&) override { return false; }
  std::optional<std::int64_t> ModifiedTime(const std::string&) override { return std::nullopt; }
  bool LockedByOtherProcess(const std::string&) override { return false; }
  Link ReadLink(const std::string&) override { return {}; }
  bool ProcessAlive(std::uint32_t) override { return false; }
  std::vector<std::string> HostAddresses() override { return {}; }
};

}  // namespace quillbank
