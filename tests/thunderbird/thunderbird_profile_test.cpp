// Finding the profile Thunderbird opens through profiles.ini, and creating the
// profile list and folder for a user who never ran Thunderbird.
#include <gtest/gtest.h>

#include "clients/thunderbird/thunderbird_client.h"
#include "env/user_folders.h"
#include "clients/thunderbird/thunderbird_profile.h"
#include "clients/thunderbird/thunderbird_profile_list.h"
#include "tests/support/files_wrapper.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

const std::string kFolder = std::string(kAppData) + "\\Thunderbird";

TEST(FindDefaultProfilePath, TakesTheFirstPathAfterTheDefaultProfile) {
  EXPECT_EQ(FindDefaultProfilePath(Crlf({"[Profile1]", "Name=work", "IsRelative=1",
                                         "Path=Profiles/a.work", "", "[Profile0]", "Name=default",
                                         "IsRelative=1", "Path=Profiles/b.default"})),
            "Profiles/b.default");
  // A Path= line before Name=default in its own section is passed over; the
  // next one is taken even from a later section.
  EXPECT_EQ(FindDefaultProfilePath(Crlf({"[Profile0]", "Path=Profiles/before.default",
                                         "Name=default", "", "[Profile1]", "Name=other",
                                         "Path=Profiles/later.other"})),
            "Profiles/later.other");
  EXPECT_EQ(FindDefaultProfilePath(Crlf({"[Profile0]", "Name=work", "Path=Profiles/a.work"})), std::nullopt);
  EXPECT_EQ(FindDefaultProfilePath(""), std::nullopt);
}

TEST(ParseIni, ReadsSectionsAndKeysAsThunderbirdDoes) {
  const std::vector<thunderbird::IniSection> sections = thunderbird::ParseIni(
      "; written by hand\r[Install1]\rdefault = a.default \r\n# note\n\n[Profile0]\nPATH=a\nno entry\n");
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].name, "Install1");
  EXPECT_EQ(sections[0].Get("Default"), "a.default");
  EXPECT_EQ(sections[1].Get("path"), "a");
  EXPECT_EQ(sections[1].Get("IsRelative"), std::nullopt);
}

// One profiles.ini, the profile folders that exist, and what the run makes
// of them: the profile taken (empty: none) and the lines logged.
struct ChoiceCase {
  const char* what;
  std::string list;
  Lines folders;  // below the Thunderbird folder, or absolute
  std::string profile;
  Lines log;
};

TEST(PrepareProfile, TakesTheProfileThunderbirdOpens) {
  const std::string install_list =
      "[Profile1]\nName=default\nIsRelative=1\nPath=old.default\nDefault=1\n\n"
      "[InstallAAAA]\nDefault=gone.default-release\nLocked=1\n\n"
      "[InstallBBBB]\nDefault=Profiles/k3.default-release\nLocked=1\n\n"
      "[InstallCCCC]\nDefault=other.default-esr\n\n"
      "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/k3.default-release\n\n"
      "[General]\nStartWithLastProfile=1\nVersion=2\n";
  const ChoiceCase cases[] = {
      {"the first Install section whose folder exists; the others logged", install_list,
       {"old.default", "Profiles\\k3.default-release", "other.default-esr"},
       kFolder + "\\Profiles\\k3.default-release",
       {"Thunderbird profile skipped: " + kFolder + "\\gone.default-release does not exist.",
        "Thunderbird profile also named by profiles.ini section InstallCCCC: " + kFolder +
            "\\other.default-esr",
        "Thunderbird profile in use: " + kFolder +
            "\\Profiles\\k3.default-release (named by profiles.ini section InstallBBBB)"}},
      {"Install sections that all fail: Default=1 is not used then", install_list,
       {"old.default"}, "",
       {"Thunderbird profile skipped: " + kFolder + "\\gone.default-release does not exist.",
        "Thunderbird profile skipped: " + kFolder + "\\Profiles\\k3.default-release does not exist.",
        "Thunderbird profile skipped: " + kFolder + "\\other.default-esr does not exist.",
        "Thunderbird profile not usable: no profile that profiles.ini names for an installation "
        "exists."}},
      {"an absolute profile, a step out of the folder skipped",
       "[InstallA]\nDefault=..\\..\\elsewhere\n[InstallB]\nDefault=D:\\Mail\\tb\n"
       "[Profile0]\nName=x\nIsRelative=0\nPath=D:\\Mail\\tb\n",
       {"D:\\Mail\\tb"}, "D:\\Mail\\tb",
       {"Thunderbird profile skipped: ..\\..\\elsewhere leaves the Thunderbird folder.",
        "Thunderbird profile in use: D:\\Mail\\tb (named by profiles.ini section InstallB)"}},
      {"no Install section: Default=1 on the second profile, CR LF lines",
       Crlf({"[Profile0]", "Name=default", "IsRelative=1", "Path=Profiles/a.default", "",
             "[Profile1]", "Name=work", "isrelative=1", "path=Profiles/b.work", "default=1"}),
       {"Profiles\\a.default", "Profiles\\b.work"}, kFolder + "\\Profiles\\b.work",
       {"Thunderbird profile in use: " + kFolder + "\\Profiles\\b.work (marked Default=1)"}},
      {"Default=1 on a missing folder", "[Profile0]\nName=work\nPath=b.work\nDefault=1\n", {}, "",
       {"Thunderbird profile skipped: " + kFolder + "\\b.work does not exist.",
        "Thunderbird profile not usable: the profile marked Default=1 does not exist."}},
      {"the default name of older profile lists, made when missing",
       "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x/y\n", {"Profiles\\x"},
       kFolder + "\\Profiles\\x/y",
       {"Profile directory not found. Creating in user's application data folder ... done.",
        "Thunderbird profile in use: " + kFolder + "\\Profiles\\x\\y (named default)"}},
      {"no default profile at all", "[Profile0]\nName=work\nPath=Profiles/a.work\n", {}, "",
       {"Thunderbird profile not usable: profiles.ini names no default profile."}},
      {"a default name outside the folder", "[Profile0]\nName=default\nPath=/etc\n", {}, "",
       {"Thunderbird profile skipped: /etc leaves the Thunderbird folder.",
        "Thunderbird profile not usable: profiles.ini names no default profile inside the "
        "Thunderbird folder."}},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.what);
    ThunderbirdUser user;
    user.fake.files.Put(kProfileList, c.list);
    // Profiles Thunderbird made hold a prefs.js.
    for (const std::string& folder : c.folders) {
      user.fake.files.Put((folder.find(':') == 1 ? folder : kFolder + "\\" + folder) + "\\prefs.js",
                          "");
    }
    const auto files_before = user.fake.files.AllFiles();
    const PreparedProfile prepared =
        ProfileLocator(user.fake.platform, ThunderbirdClient().site(SystemKind::MachineFolder), user.log.log()).PrepareProfile();
    EXPECT_EQ(user.log.Lines(), c.log);
    EXPECT_EQ(user.fake.files.ReadFile(kProfileList), c.list);  // only ever read
    EXPECT_EQ(user.fake.files.AllFiles(), files_before);
    if (c.profile.empty()) {
      EXPECT_EQ(prepared.status, status::kCannotConfigure);
      continue;
    }
    ASSERT_EQ(prepared.status, status::kSuccess);
    EXPECT_EQ(prepared.location.profile_path, c.profile);
    EXPECT_EQ(prepared.location.preferences_path, c.profile + "\\prefs.js");
    EXPECT_TRUE(user.fake.files.FolderExists(c.profile));
  }
}

TEST(PrepareProfile, CreatesAProfileThunderbirdAdoptsForAFirstTimeUser) {
  ThunderbirdUser user;
  const PreparedProfile prepared =
      ProfileLocator(user.fake.platform, ThunderbirdClient().site(SystemKind::MachineFolder), user.log.log()).PrepareProfile();
  ASSERT_EQ(prepared.status, status::kSuccess);
  EXPECT_EQ(user.fake.files.ReadFile(kProfileList),
            testing::ReadTestData("thunderbird/profiles_first_time.ini"));
  const std::string profile = kFolder + "\\Profiles\\s8eyyog6.default";
  EXPECT_EQ(user.fake.files.ReadFile(profile + "\\compatibility.ini"), "[Compatibility]\r\n");
  EXPECT_EQ(prepared.location.profile_folder, "Profiles\\s8eyyog6.default");
  EXPECT_EQ(prepared.location.preferences_path, profile + "\\prefs.js");
  EXPECT_FALSE(user.fake.files.FileExists(profile + "\\prefs.js"));
  EXPECT_EQ(user.log.Lines(),
            (Lines{"Profile data not found. Creating in user's application data folder ... done.",
                   "Profile directory not found. Creating in user's application data folder ... done.",
                   "Thunderbird profile in use: " + profile + " (created for a first-time user)"}));
}

TEST(PrepareProfile, AFailedFirstRunLeavesNoHalfMadeProfile) {
  for (const bool fail_prefs : {false, true}) {
    ThunderbirdUser user;
    // Either the profile list or, later, prefs.js cannot be written.
    user.fake.files.FailWritesEndingWith(fail_prefs ? "prefs.js" : "profiles.ini");
    EXPECT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kWriteFailed);
    EXPECT_TRUE(user.fake.files.AllFiles().empty()) << fail_prefs;
    EXPECT_FALSE(user.fake.files.FolderExists(kFolder)) << fail_prefs;
  }
}

TEST(PrepareProfile, AnUnreadableProfileListIsNotReplaced) {
  ThunderbirdUser user;
  user.fake.files.Put(kProfileList, "[Profile0]\nName=default\nPath=a\n");
  class UnreadableList final : public testing::FilesWrapper {
   public:
    using FilesWrapper::FilesWrapper;
    std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
  } files(user.fake.files);
  Platform platform{user.fake.registry, files, user.fake.environment, user.fake.processes,
                    user.fake.clock, user.fake.uuids, Windows1252(), user.fake.user};
  EXPECT_EQ(ProfileLocator(platform, ThunderbirdClient().site(SystemKind::MachineFolder), user.log.log()).PrepareProfile().status,
            status::kCannotConfigure);
  EXPECT_EQ(user.log.Lines(), Lines{"Thunderbird profile not usable: profiles.ini cannot be read."});
  EXPECT_EQ(user.fake.files.ReadFile(kProfileList), "[Profile0]\nName=default\nPath=a\n");
}

TEST(PrepareProfile, FallsBackToTheEnvironmentAndRefusesWithoutAnyAppData) {
  ThunderbirdUser registry_only;  // the registry value wins over the environment
  registry_only.fake.environment.Set("APPDATA", "C:\\Elsewhere");
  EXPECT_EQ(FindUserFolder(registry_only.fake.platform, UserFolder::AppData), kAppData);

  testing::FakePlatform fake;
  testing::CapturedLog log;
  fake.environment.Set("APPDATA", "C:\\Users\\bob\\AppData\\Roaming\\");
  EXPECT_EQ(FindUserFolder(fake.platform, UserFolder::AppData), "C:\\Users\\bob\\AppData\\Roaming");

  // Neither: the run fails before creating anything.
  fake.environment.Unset("APPDATA");
  const auto files_before = fake.files.AllFiles();
  AccountRequest request{"jane@example.com", "Jane Doe", false, false, true, log.log()};
  EXPECT_EQ(ThunderbirdConfigurator(fake.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder)).Configure(), status::kCannotConfigure);
  EXPECT_EQ(fake.files.AllFiles(), files_before);
  EXPECT_EQ(log.Lines().back(),
            "The user's application data folder is not known. No changes were made.");
}

}  // namespace
}  // namespace quillbank::thunderbird_test
