// Thunderbird in the Linux user's own home: which of its folders is taken,
// how prefs.js keeps its line ends, and when Thunderbird counts as running.
#include <gtest/gtest.h>

#include <algorithm>

#include "clients/thunderbird/thunderbird_client.h"
#include "clients/thunderbird/thunderbird_profile.h"
#include "env/client_detection.h"
#include "tests/support/mail_clients.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

using testing::FakeUserSpace;

const std::string kPlain = "/home/jane/.thunderbird";
const std::string kSnap = "/home/jane/snap/thunderbird/common/.thunderbird";
const std::string kFlatpak = "/home/jane/.var/app/org.mozilla.Thunderbird/.thunderbird";

// Jane's home on the in-memory machine, with no application data folder.
struct HomeUser {
  HomeUser() {
    fake.user.BecomeHome();
    fake.files.MakeFolders(FakeUserSpace::kHome);
  }

  // A Thunderbird folder with one profile, its prefs.js changed at `time`.
  void Thunderbird(const std::string& folder, std::int64_t time) {
    fake.files.Put(folder + "/profiles.ini",
                   "[Profile0]\nName=default-release\nIsRelative=1\nPath=p.default-release\n"
                   "Default=1\n");
    fake.files.Put(folder + "/p.default-release/prefs.js", "");
    fake.user.modified[folder + "/p.default-release/prefs.js"] = time;
  }

  testing::FakePlatform fake;
  testing::CapturedLog log;
};

struct FolderCase {
  const char* what;
  std::vector<std::pair<std::string, std::int64_t>> thunderbirds;  // folder, prefs.js time
  Lines bare;  // Thunderbird folders present without a profiles.ini
  Lines log;   // the lines before the profile's own
};

TEST(HomeThunderbirdFolder, TakesTheFolderThunderbirdLastUsed) {
  const FolderCase cases[] = {
      {"plain", {{kPlain, 10}}, {},
       {"Thunderbird folder in use: " + kPlain + " (the only one with a profiles.ini)"}},
      {"snap, with an empty plain folder", {{kSnap, 10}}, {kPlain},
       {"Thunderbird folder in use: " + kSnap + " (the only one with a profiles.ini)",
        "Thunderbird folder also present: " + kPlain}},
      {"flatpak", {{kFlatpak, 10}}, {},
       {"Thunderbird folder in use: " + kFlatpak + " (the only one with a profiles.ini)"}},
      {"several: the newest prefs.js wins", {{kPlain, 10}, {kSnap, 30}, {kFlatpak, 20}}, {},
       {"Thunderbird folder in use: " + kSnap + " (its profile's prefs.js changed last)",
        "Thunderbird folder also present: " + kPlain,
        "Thunderbird folder also present: " + kFlatpak}},
      {"several at the same time: the first in order", {{kSnap, 10}, {kFlatpak, 10}}, {},
       {"Thunderbird folder in use: " + kSnap + " (its profile's prefs.js changed last)",
        "Thunderbird folder also present: " + kFlatpak}},
      {"none", {}, {},
       {"Thunderbird folder in use: " + kPlain + " (none has a profiles.ini)",
        "Profile data not found. Creating in user's application data folder ... done."}},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.what);
    HomeUser user;
    for (const auto& [folder, time] : c.thunderbirds) user.Thunderbird(folder, time);
    for (const std::string& folder : c.bare) user.fake.files.MakeFolders(folder);
    const PreparedProfile prepared =
        ProfileLocator(user.fake.platform, ThunderbirdClient().site(SystemKind::UserHome), user.log.log()).PrepareProfile();
    ASSERT_EQ(prepared.status, status::kSuccess);
    Lines log = user.log.Lines();
    ASSERT_GE(log.size(), c.log.size());
    EXPECT_EQ(Lines(log.begin(), log.begin() + static_cast<long>(c.log.size())), c.log);
    const std::string chosen = c.log[0].substr(27, c.log[0].find(" (") - 27);
    EXPECT_EQ(prepared.location.thunderbird_folder, chosen);
  }
}

TEST(HomeThunderbirdFolder, AFirstTimeUsersFilesHaveLinuxPathsAndLineEnds) {
  HomeUser user;
  const PreparedProfile prepared =
      ProfileLocator(user.fake.platform, ThunderbirdClient().site(SystemKind::UserHome), user.log.log()).PrepareProfile();
  ASSERT_EQ(prepared.status, status::kSuccess);
  EXPECT_EQ(prepared.location.preferences_path, kPlain + "/Profiles/s8eyyog6.default/prefs.js");
  // The list a first run writes on Windows, with Linux line ends.
  std::string list = testing::ReadTestData("thunderbird/profiles_first_time.ini");
  list.erase(std::remove(list.begin(), list.end(), '\r'), list.end());
  EXPECT_EQ(user.fake.files.ReadFile(kPlain + "/profiles.ini"), list);
  EXPECT_EQ(user.fake.files.ReadFile(kPlain + "/Profiles/s8eyyog6.default/compatibility.ini"),
            "[Compatibility]\n");
  EXPECT_EQ(user.log.Lines().back(), "Thunderbird profile in use: " + kPlain +
                                         "/Profiles/s8eyyog6.default (created for a first-time user)");
}

// The lines the program adds end as the file's own do in the home; on the
// machine folder they stay CR LF.
TEST(HomePrefsLineEnds, NewLinesMatchTheFile) {
  struct Case {
    const char* what;
    bool home;
    std::optional<std::string> prefs;  // none: no prefs.js yet
    const char* line_end;
  };
  const Case cases[] = {
      {"home, LF file", true, "user_pref(\"a\", 1);\n", "\n"},
      {"home, CR LF file", true, "user_pref(\"a\", 1);\r\n", "\r\n"},
      {"home, new file", true, std::nullopt, "\n"},
      {"machine folder, LF file", false, "user_pref(\"a\", 1);\n", "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HomeUser user;
    const std::string folder = c.home ? kPlain : std::string(kAppData) + "\\Thunderbird";
    if (!c.home) {
      user.fake.user = FakeUserSpace();
      user.fake.MakeAppData(kAppData);
    }
    const char separator = c.home ? '/' : '\\';
    const std::string profile = folder + separator + "p.default-release";
    user.fake.files.Put(folder + separator + "profiles.ini",
                        "[Profile0]\nName=default\nPath=p.default-release\nDefault=1\n");
    user.fake.files.MakeFolders(profile);
    if (c.prefs) user.fake.files.Put(profile + separator + "prefs.js", *c.prefs);
    AccountRequest request{"jane@example.com", "Jane", false, false, true, user.log.log()};
    ASSERT_EQ(ThunderbirdConfigurator(user.fake.platform, request,
                                      ThunderbirdClient().site(c.home ? SystemKind::UserHome
                                                                      : SystemKind::MachineFolder))
                  .Configure(), status::kSuccess);
    const std::string written = *user.fake.files.ReadFile(profile + separator + "prefs.js");
    const std::string other = std::string(c.line_end) == "\n" ? "\r\n" : "x\n";
    EXPECT_EQ(written.find(other), std::string::npos) << written;
    EXPECT_NE(written.find(std::string("jane@example.com\");") + c.line_end), std::string::npos);
  }
}

TEST(HomeRunningThunderbird, ARunningProcessOrAHeldProfileStopsTheRun) {
  struct Case {
    const char* what;
    std::vector<ProcessEntry> processes;
    bool profile_held;
    bool close;
    RunningClients found;
  };
  const Case cases[] = {
      {"nothing runs", {{7, "thunderbird.exe"}, {8, "bash"}}, false, false, RunningClients::None},
      {"thunderbird-bin runs", {{7, "thunderbird-bin"}}, false, false, RunningClients::Running},
      {"closed on request", {{7, "thunderbird"}}, false, true, RunningClients::Closed},
      {"a profile held by a process out of sight", {}, true, true, RunningClients::Running},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HomeUser user;
    user.Thunderbird(kPlain, 1);
    if (c.profile_held) user.fake.user.locked.insert(kPlain + "/p.default-release/.parentlock");
    user.fake.processes.running = c.processes;
    EXPECT_EQ(CloseRunningClients(user.fake.platform, HomeClients(), c.close, user.log.log(), 0), c.found);
    EXPECT_EQ(user.fake.processes.terminated.empty(), c.found != RunningClients::Closed);
  }
}

// The "lock" link's address is this host when it is a loopback address or one
// of the host's own; only then does a process that has ended free the profile.
TEST(HomeProfileLock, TheLockLinkNamesThisHostOrAnother) {
  struct Case {
    std::optional<std::string> target;  // none: a link that cannot be read
    bool alive;                         // process 4242 exists
    bool in_use;
  };
  const Case cases[] = {
      {"127.0.1.1:+4242", false, false},   {"127.0.1.1:+4242", true, true},
      {"192.168.7.9:+4242", false, false},  // the host's own address
      {"192.168.7.90:+4242", false, true},  {"192.168.07.9:+4242", false, true},
      {"192.168.7.9:4242", true, true},     {"192.168.7.9:+0", false, true},
      {"1.2.3:+4242", false, true},         {std::nullopt, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target.value_or("(unreadable)"));
    testing::FakePlatform fake;
    fake.user.BecomeHome();
    fake.user.host_addresses = {"10.0.0.5", "192.168.7.9"};
    fake.user.links[kPlain + "/p/lock"] = c.target;
    if (c.alive) fake.user.alive.insert(4242);
    EXPECT_EQ(thunderbird::ProfileFolderInUse(fake.platform, kPlain + "/p"), c.in_use);
  }
}

}  // namespace
}  // namespace quillbank::thunderbird_test
