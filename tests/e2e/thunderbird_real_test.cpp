// Real Thunderbird as the judge. Thunderbird makes its own home (its
// profiles.ini and profiles, as every Thunderbird since 2019 writes them), the
// program configures the copy of that folder on a machine folder, and
// Thunderbird, started again the way a user starts it (no --profile), must
// open the profile the program wrote and load the account: it then gives the
// new incoming server its mail folder ("directory"), which it does only for an
// account it loaded.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/real_thunderbird.h"
#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/test_data.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::ReadTestData;

class ThunderbirdRealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kThunderbird)) {
      GTEST_SKIP() << kThunderbird << " is missing: install the Debian package thunderbird "
                   << "to let real Thunderbird check the files the program writes.";
    }
    fs::create_directories(home);
  }

  fs::path MachineThunderbird() const { return machine.Roaming() / "Thunderbird"; }
  fs::path HomeThunderbird() const { return home / ".thunderbird"; }

  // Runs the program on the machine holding a copy of the user's Thunderbird
  // folder, then puts the result back in the user's home.
  ProgramRun Configure(const std::string& address) {
    if (fs::exists(HomeThunderbird())) CopyFolder(HomeThunderbird(), MachineThunderbird());
    ProgramRun run = machine.Run({"-n", "Jane Doe", "-a", address, "-c", "4"});
    if (fs::exists(MachineThunderbird())) CopyFolder(MachineThunderbird(), HomeThunderbird());
    return run;
  }

  // Starts Thunderbird as a user does and expects it to open `profile` and
  // load the account of `address`.
  void ExpectThunderbirdLoads(const fs::path& profile, const std::string& address) {
    const std::string server = ServerOf(profile, address);
    ASSERT_FALSE(server.empty()) << "no server for " << address << " in " << profile;
    const std::string directory_key = "\"mail.server." + server + ".directory\"";
    RunThunderbird(home, [&] { return !ProfilesHolding(HomeThunderbird(), directory_key).empty(); });
    EXPECT_EQ(ProfilesHolding(HomeThunderbird(), directory_key), std::vector<fs::path>{profile})
        << "Thunderbird did not load " << address << " from " << profile;
  }

  // A machine with Thunderbird installed.
  const JaneMachine machine{"thunderbird-e2e", {ReadTestData("registry/thunderbird.reg")}};
  const fs::path home = machine.root() / "home";
};

TEST_F(ThunderbirdRealTest, WritesIntoTheProfileThunderbirdOpens) {
  CopyFolder(ThunderbirdMadeHome() / ".thunderbird", HomeThunderbird());
  const std::string in_use = InstallDefault(HomeThunderbird());
  ASSERT_FALSE(in_use.empty()) << "Thunderbird wrote no Install section";
  const fs::path profile = HomeThunderbird() / in_use;

  const ProgramRun first = Configure("jane@example.com");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  const std::string log = ReadHostFile(machine.LogFile());
  EXPECT_NE(log.find("Thunderbird profile in use: C:\\users\\jane\\AppData\\Roaming\\Thunderbird\\" +
                     in_use + " (named by profiles.ini section Install"),
            std::string::npos)
      << log;
  ExpectThunderbirdLoads(profile, "jane@example.com");

  // The account is found again; a second address joins it.
  EXPECT_EQ(Configure("jane@example.com").exit_code, 5);
  const ProgramRun second = Configure("bob@example.com");
  ASSERT_EQ(second.exit_code, 0) << second.out << second.err;
  ExpectThunderbirdLoads(profile, "bob@example.com");
}

TEST_F(ThunderbirdRealTest, AFirstTimeUsersProfileIsAdopted) {
  const ProgramRun first = Configure("jane@example.com");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  const fs::path profile = HomeThunderbird() / "Profiles" / "s8eyyog6.default";
  ExpectThunderbirdLoads(profile, "jane@example.com");
  EXPECT_EQ(InstallDefault(HomeThunderbird()), "Profiles/s8eyyog6.default");
  EXPECT_EQ(Configure("jane@example.com").exit_code, 5);
}

// The Windows build under wine64 takes the same profile of the same
// Thunderbird folder and leaves the same prefs.js.
TEST_F(ThunderbirdRealTest, TheWindowsBuildTakesTheSameProfile) {
  if (const std::string why = WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  const fs::path windows_program = WindowsProgram();
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path wine_thunderbird = prefix.UserFolder() / "AppData" / "Roaming" / "Thunderbird";
  CopyFolder(ThunderbirdMadeHome() / ".thunderbird", wine_thunderbird);
  CopyFolder(ThunderbirdMadeHome() / ".thunderbird", HomeThunderbird());
  const std::string in_use = InstallDefault(HomeThunderbird());

  const std::vector<std::string> args{"-n", "Jane Doe", "-a", "jane@example.com", "-c", "4"};
  const ProgramRun windows = RunWindowsProgram(prefix.path(), windows_program.string(), args);
  ASSERT_EQ(windows.exit_code, 0) << windows.out << windows.err;
  ASSERT_EQ(Configure("jane@example.com").exit_code, 0);
  const std::string native_prefs = ReadHostFile(HomeThunderbird() / in_use / "prefs.js");
  EXPECT_NE(native_prefs.find("\"jane@example.com\""), std::string::npos);
  EXPECT_EQ(ReadHostFile(wine_thunderbird / in_use / "prefs.js"), native_prefs);
  const std::string wine_log = ReadHostFile(prefix.UserFolder() / "AppData/Roaming/Quillbank.log");
  EXPECT_NE(wine_log.find("Thunderbird profile in use: "), std::string::npos);
  EXPECT_NE(wine_log.find("\\Thunderbird\\" + in_use + " (named by profiles.ini section Install"),
            std::string::npos)
      << wine_log;
}

// After a normal run gave the profile Thunderbird made one account (moved to
// another provider's server), the automatic mode copies that account;
// Thunderbird started as a user starts it loads both.
TEST_F(ThunderbirdRealTest, LoadsTheAccountAndItsAutomaticCopy) {
  CopyFolder(ThunderbirdMadeHome() / ".thunderbird", HomeThunderbird());
  const std::string in_use = InstallDefault(HomeThunderbird());
  ASSERT_FALSE(in_use.empty()) << "Thunderbird wrote no Install section";
  const fs::path profile = HomeThunderbird() / in_use;
  const ProgramRun normal = Configure("jane@example.com");
  ASSERT_EQ(normal.exit_code, 0) << normal.out << normal.err;
  // The account to copy is one at the user's former provider: Thunderbird
  // drops an account whose incoming server has the same user name, host and
  // type as another's, so a copy of an account on our own server would be
  // dropped as a duplicate.
  ASSERT_TRUE(MoveServersElsewhere(profile));

  // Thunderbird becomes the default mail client.
  testing::AppendHostFile(machine.path() / "system.reg",
                          "\n" + HiveKeysOf({ReadTestData("registry/thunderbird_default.reg")}).system);
  CopyFolder(HomeThunderbird(), MachineThunderbird());
  const ProgramRun automatic = machine.Run({"-auto", "-p", "Tessaline "});
  ASSERT_EQ(automatic.exit_code, 0) << automatic.out << automatic.err;
  CopyFolder(MachineThunderbird(), HomeThunderbird());

  // Both accounts have the address; their servers' names tell them apart.
  const std::string prefs = ReadHostFile(profile / "prefs.js");
  const std::string copy_directory = DirectoryKeyOfServerNamed(prefs, "Tessaline jane@example\\.com");
  const std::string original_directory = DirectoryKeyOfServerNamed(prefs, "jane@example\\.com");
  ASSERT_FALSE(copy_directory.empty() || original_directory.empty()) << prefs;
  ASSERT_NE(original_directory, copy_directory);
  RunThunderbird(home, [&] {
    return !ProfilesHolding(HomeThunderbird(), copy_directory).empty() &&
           !ProfilesHolding(HomeThunderbird(), original_directory).empty();
  });
  EXPECT_EQ(ProfilesHolding(HomeThunderbird(), copy_directory), std::vector<fs::path>{profile})
      << ReadHostFile(profile / "prefs.js");
  EXPECT_EQ(ProfilesHolding(HomeThunderbird(), original_directory), std::vector<fs::path>{profile});
}

}  // namespace
}  // namespace quillbank::e2e
