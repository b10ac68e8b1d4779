// The UserHome service of the Linux home: its folders, Thunderbird's
// program on PATH, and whether a profile is in use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

class HomeUser final : public UserHome {
 public:
  HomeUser(std::string home, std::string state_folder)
      : home_(std::move(home)), state_folder_(std::move(state_folder)) {}

  std::string StateFolder() override { return state_folder_; }
  std::vector<std::string> ThunderbirdFolders() override;
  bool ThunderbirdOnPath() override;
  std::optional<std::int64_t> ModifiedTime(const std::string& path) override;
  bool ProfileInUse(const std::string& profile_folder) override;

 private:
  std::string home_;
  std::string state_folder_;
};

}  // namespace quillbank
