// The program on the Linux user's own home (--home), judged by real
// Thunderbird: Thunderbird makes its home, the program adds the account to
// the profile Thunderbird opens, and Thunderbird started again as a user
// starts it loads that account (it gives the new server its "directory").
// While Thunderbird runs the program refuses, unless the automatic mode was
// asked to close it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/real_thunderbird.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "env/platform/home/home_system.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/preview_apply.h"
#include "tests/support/program_run.h"
#include "tests/support/test_data.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;
using testing::ReadHostFile;

// True when a Thunderbird that is not the test's own runs on this host: the
// tests that close Thunderbird would end it.
bool ForeignThunderbirdRuns() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
    if (!error && (exe.filename() == "thunderbird" || exe.filename() == "thunderbird-bin")) {
      return true;
    }
  }
  return false;
}

// Waits up to 30 s for `holds` to become true.
bool WaitFor(const std::function<bool()>& holds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!holds()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return true;
}

class ThunderbirdHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kThunderbird)) {
      GTEST_SKIP() << kThunderbird << " is missing: install the Debian package thunderbird.";
    }
    fs::create_directories(home);
  }

  // The desktop's folders are the home's own, so no mail handler of the
  // host's decides the default client.
  ProgramRun Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {QUILLBANK_PROGRAM, "--home"});
    const std::string no_folder = (root / "no-such-folder").string();
    return testing::RunProcess({args,
                                {{"HOME", home.string()},
                                 {"XDG_CONFIG_DIRS", no_folder},
                                 {"XDG_DATA_DIRS", no_folder}},
                                {"QUILLBANK_MACHINE", "XDG_STATE_HOME", "XDG_CONFIG_HOME",
                                 "XDG_DATA_HOME", "XDG_CURRENT_DESKTOP"}});
  }
  ProgramRun Configure(const std::string& address) const {
    return Run({"-n", "Jane Doe", "-a", address, "-c", "4"});
  }

  fs::path Thunderbird() const { return home / ".thunderbird"; }
  fs::path LogFile() const { return home / ".local/state/quillbank/Quillbank.log"; }
  // The profile Thunderbird made and opens.
  fs::path MadeProfile() {
    CopyFolder(ThunderbirdMadeHome() / ".thunderbird", Thunderbird());
    const std::string in_use = InstallDefault(Thunderbird());
    EXPECT_FALSE(in_use.empty()) << "Thunderbird wrote no Install section";
    return Thunderbird() / in_use;
  }

  void ExpectThunderbirdLoads(const fs::path& profile, const std::string& directory_key) {
    RunThunderbird(home, [&] { return !ProfilesHolding(Thunderbird(), directory_key).empty(); });
    EXPECT_EQ(ProfilesHolding(Thunderbird(), directory_key), std::vector<fs::path>{profile})
        << "Thunderbird did not load " << directory_key << " from " << profile;
  }
  void ExpectThunderbirdLoadsAccountOf(const fs::path& profile, const std::string& address) {
    const std::string server = ServerOf(profile, address);
    ASSERT_FALSE(server.empty()) << "no server for " << address << " in " << profile;
    ExpectThunderbirdLoads(profile, "\"mail.server." + server + ".directory\"");
  }

  // Thunderbird running on the home, holding `profile`.
  std::unique_ptr<testing::BackgroundProcess> StartThunderbird(const fs::path& profile) {
    auto thunderbird = std::make_unique<testing::BackgroundProcess>(testing::ProcessLaunch{
        {kThunderbird, "--headless"},
        {{"HOME", home.string()}},
        {"DISPLAY", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}});
    EXPECT_TRUE(WaitFor([&] { return fs::is_symlink(profile / "lock"); }))
        << "Thunderbird did not lock " << profile;
    return thunderbird;
  }

  const testing::TemporaryFolder root{"thunderbird-home-e2e"};
  const fs::path home = root / "home";
};

TEST_F(ThunderbirdHomeTest, AddsTheAccountToTheProfileThunderbirdOpens) {
  const fs::path profile = MadeProfile();
  const ProgramRun run = Configure("jane@example.com");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Log file: " + LogFile().string() + "\n"), std::string::npos) << run.out;
  const std::string log = ReadHostFile(LogFile());
  EXPECT_NE(log.find("Searching for Mozilla Thunderbird ... found."), std::string::npos) << log;
  EXPECT_NE(log.find("Thunderbird folder in use: " + Thunderbird().string() +
                     " (the only one with a profiles.ini)"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Thunderbird profile in use: " + profile.string() +
                     " (named by profiles.ini section Install"),
            std::string::npos)
      << log;
  // Thunderbird on Linux writes LF; the program's lines match them.
  EXPECT_EQ(ReadHostFile(profile / "prefs.js").find('\r'), std::string::npos);
  EXPECT_TRUE(fs::exists(home / ".local/state/quillbank/quillbank.lock"));
  ExpectThunderbirdLoadsAccountOf(profile, "jane@example.com");
  EXPECT_EQ(Configure("jane@example.com").exit_code, 5);
}

TEST_F(ThunderbirdHomeTest, AFirstTimeUsersProfileIsAdopted) {
  const ProgramRun run = Configure("jane@example.com");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const fs::path profile = Thunderbird() / "Profiles" / "s8eyyog6.default";
  EXPECT_EQ(ReadHostFile(Thunderbird() / "profiles.ini").find('\r'), std::string::npos);
  // The whole log: the Windows lines, with the home's paths. PATH may or may
  // not hold thunderbird where the test runs, so that line is left out of
  // both.
  std::vector<std::string> log = testing::MaskedLines(ReadHostFile(LogFile()));
  ASSERT_GT(log.size(), 50u);
  log.erase(log.begin() + 5);
  std::vector<std::string> head = testing::MaskedLines(
      testing::ReadTestData({"logs/banner_command_line.log", "logs/detection_none.log"}));
  head.erase(head.begin() + 5);
  // The home looks for its own Evolution after the Windows clients.
  const auto outlook = std::find(head.begin(), head.end(),
                                 "Searching for Microsoft Outlook ... not detected.");
  ASSERT_NE(outlook, head.end());
  head.insert(outlook + 1, fs::exists("/usr/bin/evolution")
                               ? "Searching for GNOME Evolution ... found."
                               : "Searching for GNOME Evolution ... not detected.");
  head.insert(head.end(), {
      "Detecting default email client ... done.",
      "Default email client: none set; Thunderbird",
      "",
      "User Entered Email Address: jane@example.com",
      "User Entered Display Name: Jane Doe",
      "Make Account Default: No",
      "Overwrite Existing Account: No",
      "Client Selected to Configure: Mozilla Thunderbird",
      "",
      "Starting Thunderbird configuration...",
      "",
      "Thunderbird folder in use: " + Thunderbird().string() + " (none has a profiles.ini)",
      "Profile data not found. Creating in user's application data folder ... done.",
      "Profile directory not found. Creating in user's application data folder ... done.",
      "Thunderbird profile in use: " + profile.string() + " (created for a first-time user)",
      "Searching for existant jane@example.com account ... not found. Creating new account.",
      "",
      "The following lines were written/overwritten in the Thunderbird configuration file:",
      ""});
  const std::vector<std::string> tail{"", "Email Client Configuration Successful!", "",
                                      "* Configuration Complete at <time> *", ""};
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + head.size()), head);
  EXPECT_EQ(std::vector<std::string>(log.end() - tail.size(), log.end()), tail);
  EXPECT_EQ(log.size(), head.size() + 23 + tail.size());  // the 23 lines of the account
  ExpectThunderbirdLoadsAccountOf(profile, "jane@example.com");
  EXPECT_EQ(InstallDefault(Thunderbird()), "Profiles/s8eyyog6.default");
}

TEST_F(ThunderbirdHomeTest, RefusesWhileThunderbirdRuns) {
  if (ForeignThunderbirdRuns()) GTEST_SKIP() << "another Thunderbird runs on this host";
  const fs::path profile = MadeProfile();
  const auto thunderbird = StartThunderbird(profile);
  const std::string before = ReadHostFile(profile / "prefs.js");
  const ProgramRun run = Configure("jane@example.com");
  EXPECT_EQ(run.exit_code, 20) << run.out << run.err;
  EXPECT_EQ(ReadHostFile(profile / "prefs.js"), before);
  EXPECT_NE(ReadHostFile(LogFile()).find("Running Email Client Detected. Closing."),
            std::string::npos);
  EXPECT_FALSE(thunderbird->WaitForEnd(std::chrono::milliseconds(0))) << "Thunderbird was ended";
}

TEST_F(ThunderbirdHomeTest, TheAutomaticModeRefusesAMailHandlerOfAnotherProgram) {
  const fs::path profile = MadeProfile();
  ASSERT_EQ(Configure("jane@example.com").exit_code, 0);
  const std::string before = ReadHostFile(profile / "prefs.js");
  testing::WriteHostFile(home / ".config/mimeapps.list",
                         "[Default Applications]\nx-scheme-handler/mailto=org.gnome.Geary.desktop\n");
  const ProgramRun run = Run({"-auto", "-p", "Tessaline "});
  EXPECT_EQ(run.exit_code, 13) << run.out << run.err;
  EXPECT_EQ(ReadHostFile(profile / "prefs.js"), before);
  EXPECT_NE(ReadHostFile(LogFile()).find("Default email client: org.gnome.Geary.desktop (" +
                                         (home / ".config/mimeapps.list").string() + ")"),
            std::string::npos);
}

TEST_F(ThunderbirdHomeTest, TheAutomaticModeClosesThunderbirdAndAddsTheCopy) {
  if (ForeignThunderbirdRuns()) GTEST_SKIP() << "another Thunderbird runs on this host";
  const fs::path profile = MadeProfile();
  ASSERT_EQ(Configure("jane@example.com").exit_code, 0);
  ASSERT_TRUE(MoveServersElsewhere(profile));
  const auto thunderbird = StartThunderbird(profile);

  const ProgramRun run = Run({"-auto", "-x", "-p", "Tessaline "});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err << ReadHostFile(LogFile());
  EXPECT_TRUE(thunderbird->WaitForEnd(std::chrono::seconds(1))) << "Thunderbird still runs";
  // Debian's thunderbird is a link to thunderbird-bin, which the processes
  // are then named after.
  const std::string log = ReadHostFile(LogFile());
  EXPECT_TRUE(log.find("Running Email Client Detected: thunderbird. Closed.") != std::string::npos ||
              log.find("Running Email Client Detected: thunderbird-bin. Closed.") != std::string::npos)
      << log;
  const std::string copy_key =
      DirectoryKeyOfServerNamed(ReadHostFile(profile / "prefs.js"), "Tessaline jane@example\\.com");
  ASSERT_FALSE(copy_key.empty()) << ReadHostFile(profile / "prefs.js");
  ExpectThunderbirdLoads(profile, copy_key);
}

// Every file below a folder by its path, as bytes; the state folder (log,
// lock, undo journals) left out unless `all`.
std::map<std::string, std::string> FilesBelow(const fs::path& folder, bool all) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (!all && name.rfind(".local", 0) == 0) continue;
    files[name] = entry.is_regular_file() ? ReadHostFile(entry.path()) : "<folder>";
  }
  return files;
}

// The names of the files that differ between two trees (profile databases
// are binary: their bytes are not shown).
std::vector<std::string> Differing(const std::map<std::string, std::string>& a,
                                   const std::map<std::string, std::string>& b) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : a) {
    if (!b.count(name) || b.at(name) != bytes) names.push_back(name);
  }
  for (const auto& [name, bytes] : b) {
    if (!a.count(name)) names.push_back(name);
  }
  return names;
}

// In the home, as on a machine folder: the dry run writes nothing (not even
// the state folder), its printed diff applied to a copy of the home gives the
// real run's prefs.js, and --undo gives prefs.js back byte for byte.
TEST_F(ThunderbirdHomeTest, TheDryRunShowsTheRealRunAndUndoTakesItBack) {
  MadeProfile();
  const auto untouched = FilesBelow(home, true);
  const auto stores = FilesBelow(home, false);
  ASSERT_FALSE(fs::exists(home / ".local/state"));
  const testing::TemporaryFolder copy_root{"thunderbird-home-copy"};
  const fs::path copy = copy_root / "home";
  fs::copy(home, copy, fs::copy_options::recursive);

  const ProgramRun dry = Run({"-n", "Jane Doe", "-a", "jane@tessaline.net", "-c", "4", "--dry-run"});
  ASSERT_EQ(dry.exit_code, 0) << dry.out << dry.err;
  EXPECT_EQ(Differing(FilesBelow(home, true), untouched), std::vector<std::string>{});

  ASSERT_EQ(Configure("jane@tessaline.net").exit_code, 0);
  std::string error;
  const std::unique_ptr<SystemServices> copied = OpenUserHome(copy.string(), std::nullopt, error);
  ASSERT_TRUE(copied) << error;
  // The printed paths name the home the run saw; the copy takes them.
  std::string preview = dry.out;
  for (std::size_t at = preview.find(home.string()); at != std::string::npos;
       at = preview.find(home.string(), at)) {
    preview.replace(at, home.string().size(), copy.string());
  }
  ASSERT_TRUE(testing::ApplyPreview(copied->platform(), preview, error)) << error << dry.out;
  EXPECT_EQ(Differing(FilesBelow(copy, false), FilesBelow(home, false)), std::vector<std::string>{});

  const ProgramRun undo = Run({"--undo"});
  EXPECT_EQ(undo.exit_code, 0) << undo.out << undo.err;
  EXPECT_EQ(Differing(FilesBelow(home, false), stores), std::vector<std::string>{});
}

}  // namespace
}  // namespace quillbank::e2e
