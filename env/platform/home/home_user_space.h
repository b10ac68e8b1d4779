// The user's space in the Linux home: HOME, the program's state folder,
// PATH, and the host facts (file locks, links, live processes, the host's
// addresses) that a client's "is it running" rule asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class HomeUserSpace final : public UserSpace {
 public:
  HomeUserSpace(std::string home, std::string state_folder)
      : home_(std::move(home)), state_folder_(std::move(state_folder)) {}

  char PathSeparator() const override { return '/'; }
  std::optional<std::string> HomeFolder() override { return home_; }
  std::optional<std::string> StateFolder() override { return state_folder_; }
  bool OnPath(const std::string& program) override;
  std::optional<std::int64_t> ModifiedTime(const std::string& path) override;
  bool LockedByOtherProcess(const std::string& path) override;
  Link ReadLink(const std::string& path) override;
  bool ProcessAlive(std::uint32_t id) override;
  std::vector<std::string> HostAddresses() override;
  std::vector<std::string> ConfigFolders() override;
  std::vector<std::string> DataFolders() override;
  std::vector<std::string> CurrentDesktops() override;
  std::optional<std::string> CommandOutput(const std::vector<std::string>& argv) override;

 private:
  std::string home_;
  std::string state_folder_;
};

}  // namespace quillbank
