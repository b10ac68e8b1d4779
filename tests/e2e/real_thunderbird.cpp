#include "tests/e2e/real_thunderbird.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/program_run.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;

struct MadeHome {
  MadeHome() {
    const fs::path& made = folder.path();
    RunThunderbird(made, [&made] {
      const std::string list = ReadHostFile(made / ".thunderbird" / "profiles.ini");
      return list.find("[Install") != std::string::npos &&
             !ProfilesHolding(made / ".thunderbird", "").empty();
    });
  }
  testing::TemporaryFolder folder{"thunderbird-home"};
};

}  // namespace

void RunThunderbird(const fs::path& home, const std::function<bool()>& ready) {
  testing::BackgroundProcess thunderbird(
      {{kThunderbird, "--headless"},
       {{"HOME", home.string()}},
       {"DISPLAY", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline && !ready()) {
    ended = thunderbird.WaitForEnd(std::chrono::milliseconds(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (!ended) thunderbird.SignalGroup(SIGTERM);
  thunderbird.WaitForEnd(std::chrono::seconds(15));
  thunderbird.SignalGroup(SIGKILL);  // helper processes of the group end with it
}

std::vector<fs::path> ProfilesHolding(const fs::path& thunderbird, const std::string& text) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(thunderbird, error)) {
    if (entry.path().filename() == "prefs.js" &&
        ReadHostFile(entry.path()).find(text) != std::string::npos) {
      found.push_back(entry.path().parent_path());
    }
  }
  return found;
}

void CopyFolder(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to.parent_path());
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

const fs::path& ThunderbirdMadeHome() {
  static const MadeHome home;
  return home.folder.path();
}

std::string InstallDefault(const fs::path& thunderbird) {
  std::smatch match;
  const std::string list = ReadHostFile(thunderbird / "profiles.ini");
  static const std::regex install(R"(\[Install[0-9A-F]+\]\r?\nDefault=([^\r\n]+))");
  return std::regex_search(list, match, install) ? match[1].str() : "";
}

std::string ServerOf(const fs::path& profile, const std::string& address) {
  std::smatch match;
  const std::string prefs = ReadHostFile(profile / "prefs.js");
  const std::regex user("\"mail\\.server\\.(server[0-9]+)\\.userName\", \"" + address + "\"");
  return std::regex_search(prefs, match, user) ? match[1].str() : "";
}

std::string DirectoryKeyOfServerNamed(const std::string& prefs, const std::string& name_pattern) {
  std::smatch match;
  const std::regex named(R"re("mail\.server\.(server[0-9]+)\.name", ")re" + name_pattern + "\"");
  return std::regex_search(prefs, match, named) ? "\"mail.server." + match[1].str() + ".directory\""
                                                : std::string();
}

bool MoveServersElsewhere(const fs::path& profile) {
  const std::string made = ReadHostFile(profile / "prefs.js");
  const std::regex own_host(R"re(("mail\.server\.server[0-9]+\.hostname", )"secure\.tessaline\.net")re");
  const std::string elsewhere = std::regex_replace(made, own_host, "$1\"pop.example.com\"");
  if (elsewhere == made) return false;
  std::ofstream(profile / "prefs.js", std::ios::binary | std::ios::trunc) << elsewhere;
  return true;
}

}  // namespace quillbank::e2e
