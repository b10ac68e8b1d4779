// A Linux user's home for tests on the in-memory machine: jane's home
// folder, the prefs.js times and held profiles a test sets.
//
//   FakeUserHome home;
//   fake.platform.home = &home;
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank::testing {

class FakeUserHome final : public UserHome {
 public:
  static constexpr const char* kHome = "/home/jane";

  std::string StateFolder() override { return std::string(kHome) + "/.local/state/quillbank"; }
  std::vector<std::string> ThunderbirdFolders() override {
    return {std::string(kHome) + "/.thunderbird",
            std::string(kHome) + "/snap/thunderbird/common/.thunderbird",
            std::string(kHome) + "/.var/app/org.mozilla.Thunderbird/.thunderbird"};
  }
  bool ThunderbirdOnPath() override { return on_path; }
  std::optional<std::int64_t> ModifiedTime(const std::string& path) override {
    const auto found = modified.find(path);
    if (found == modified.end()) return std::nullopt;
    return found->second;
  }
  bool ProfileInUse(const std::string& profile_folder) override {
    return held.count(profile_folder) > 0;
  }

  bool on_path = false;
  std::map<std::string, std::int64_t> modified;  // by path
  std::set<std::string> held;                    // profile folders in use
};

}  // namespace quillbank::testing
