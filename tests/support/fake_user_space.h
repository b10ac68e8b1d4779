// The user's space for tests on the in-memory machine: Windows paths and no
// home at first, as on Windows; BecomeHome() turns it into jane's Linux home,
// with the PATH programs, modification times, locked files, links, live
// processes, host addresses and desktop folders a test sets.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank::testing {

class FakeUserSpace final : public UserSpace {
 public:
  static constexpr const char* kHome = "/home/jane";

  void BecomeHome() {
    separator = '/';
    home = kHome;
    state = std::string(kHome) + "/.local/state/quillbank";
    config_folders = {std::string(kHome) + "/.config", "/etc/xdg"};
    data_folders = {std::string(kHome) + "/.local/share", "/usr/local/share", "/usr/share",
                    std::string(kHome) + "/.local/share/flatpak/exports/share",
                    "/var/lib/flatpak/exports/share"};
  }

  char PathSeparator() const override { return separator; }
  std::optional<std::string> HomeFolder() override { return home; }
  std::optional<std::string> StateFolder() override { return state; }
  bool OnPath(const std::string& program) override { return on_path.count(program) > 0; }
  std::optional<std::int64_t> ModifiedTime(const std::string& path) override {
    const auto found = modified.find(path);
    if (found == modified.end()) return std::nullopt;
    return found->second;
  }
  bool LockedByOtherProcess(const std::string& path) override { return locked.count(path) > 0; }
  Link ReadLink(const std::string& path) override {
    const auto found = links.find(path);
    if (found == links.end()) return {};
    return {true, found->second};
  }
  bool ProcessAlive(std::uint32_t id) override { return alive.count(id) > 0; }
  std::vector<std::string> HostAddresses() override { return host_addresses; }
  std::vector<std::string> ConfigFolders() override { return config_folders; }
  std::vector<std::string> DataFolders() override { return data_folders; }
  std::vector<std::string> CurrentDesktops() override { return desktops; }
  std::optional<std::string> CommandOutput(const std::vector<std::string>& argv) override {
    const auto found = command_outputs.find(argv);
    if (found == command_outputs.end()) return std::nullopt;
    return found->second;
  }

  char separator = '\\';
  std::optional<std::string> home;
  std::optional<std::string> state;
  std::set<std::string> on_path;
  std::map<std::string, std::int64_t> modified;              // by path
  std::set<std::string> locked;                              // files another process locks
  std::map<std::string, std::optional<std::string>> links;  // path: target (none: unreadable)
  std::set<std::uint32_t> alive;
  std::vector<std::string> host_addresses;
  std::vector<std::string> config_folders;  // none, as on Windows, until a test sets them
  std::vector<std::string> data_folders;
  std::vector<std::string> desktops;
  std::map<std::vector<std::string>, std::string> command_outputs;  // none for others
};

}  // namespace quillbank::testing
