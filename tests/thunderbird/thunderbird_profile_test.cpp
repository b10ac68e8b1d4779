// Finding the default Thunderbird profile through profiles.ini, and creating
// the profile list and folder for a user who never ran Thunderbird.
#include <gtest/gtest.h>

#include "clients/files/thunderbird_profile.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

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
  // Thunderbird's newer profile names still count as the default profile.
  EXPECT_EQ(FindDefaultProfilePath("[Profile0]\nName=default-release\nPath=Profiles/x.default-release\n"),
            "Profiles/x.default-release");
  EXPECT_EQ(FindDefaultProfilePath(Crlf({"[Profile0]", "Name=work", "Path=Profiles/a.work"})), "NULL");
  EXPECT_EQ(FindDefaultProfilePath(""), "NULL");
}

TEST(PrepareProfile, CreatesTheProfileListAndFolderForAFirstTimeUser) {
  ThunderbirdUser user;
  const std::optional<ProfileLocation> location =
      ProfileLocator(user.fake.platform, user.log.log()).PrepareProfile();
  ASSERT_TRUE(location);
  EXPECT_EQ(user.fake.files.ReadFile(kProfileList),
            "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
            "IsRelative=1\r\nPath=Profiles/s8eyyog6.default\r\n");
  const std::string profile = std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default";
  EXPECT_EQ(location->app_data_folder, kAppData);
  EXPECT_EQ(location->profile_folder, "Profiles\\s8eyyog6.default");
  EXPECT_EQ(location->preferences_path, profile + "\\prefs.js");
  EXPECT_EQ(location->temporary_path, profile + "\\prefs.tmp");
  EXPECT_TRUE(user.fake.files.FolderExists(profile));
  EXPECT_FALSE(user.fake.files.FileExists(profile + "\\prefs.js"));
  EXPECT_EQ(user.log.Lines(),
            (Lines{"Profile data not found. Creating in user's application data folder ... done.",
                   "Profile directory not found. Creating in user's application data folder ... done."}));
}

TEST(PrepareProfile, ReadsAnExistingProfileListWithoutRewritingIt) {
  ThunderbirdUser user;
  const std::string list = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x/y\n";
  user.fake.files.Put(kProfileList, list);
  const std::optional<ProfileLocation> location =
      ProfileLocator(user.fake.platform, user.log.log()).PrepareProfile();
  ASSERT_TRUE(location);
  // Only the first slash becomes a backslash.
  EXPECT_EQ(location->profile_folder, "Profiles\\x/y");
  EXPECT_EQ(user.fake.files.ReadFile(kProfileList), list);
  EXPECT_EQ(user.log.Lines(),
            (Lines{"Profile directory not found. Creating in user's application data folder ... done."}));

  // With prefs.js present nothing is logged at all.
  ThunderbirdUser existing;
  existing.WithProfile({"user_pref(\"a\", 1);"});
  const std::optional<ProfileLocation> found =
      ProfileLocator(existing.fake.platform, existing.log.log()).PrepareProfile();
  ASSERT_TRUE(found);
  EXPECT_EQ(found->preferences_path, kPrefs);
  EXPECT_TRUE(existing.log.Lines().empty());
}

TEST(PrepareProfile, WithoutADefaultProfileUsesTheFolderNull) {
  ThunderbirdUser user;
  user.fake.files.Put(kProfileList, Crlf({"[Profile0]", "Name=work", "Path=Profiles/a.work"}));
  const std::optional<ProfileLocation> location =
      ProfileLocator(user.fake.platform, user.log.log()).PrepareProfile();
  ASSERT_TRUE(location);
  EXPECT_EQ(location->preferences_path, std::string(kAppData) + "\\Thunderbird\\NULL\\prefs.js");
  EXPECT_TRUE(user.fake.files.FolderExists(std::string(kAppData) + "\\Thunderbird\\NULL"));
}

TEST(PrepareProfile, FallsBackToTheEnvironmentAndRefusesWithoutAnyAppData) {
  ThunderbirdUser registry_only;  // the registry value wins over the environment
  registry_only.fake.environment.Set("APPDATA", "C:\\Elsewhere");
  EXPECT_EQ(ProfileLocator(registry_only.fake.platform, registry_only.log.log()).AppDataFolder(),
            kAppData);

  testing::FakePlatform fake;
  testing::CapturedLog log;
  fake.environment.Set("APPDATA", "C:\\Users\\bob\\AppData\\Roaming\\");
  EXPECT_EQ(ProfileLocator(fake.platform, log.log()).AppDataFolder(),
            "C:\\Users\\bob\\AppData\\Roaming");

  // Neither: the run fails before creating anything.
  fake.environment.Unset("APPDATA");
  const auto files_before = fake.files.AllFiles();
  AccountRequest request{"jane@example.com", "Jane Doe", false, false, true, log.log()};
  EXPECT_EQ(ThunderbirdConfigurator(fake.platform, request).Configure(), status::kCannotConfigure);
  EXPECT_EQ(fake.files.AllFiles(), files_before);
  EXPECT_EQ(log.Lines().back(),
            "The user's application data folder is not known. No changes were made.");
}

}  // namespace
}  // namespace quillbank::thunderbird_test
