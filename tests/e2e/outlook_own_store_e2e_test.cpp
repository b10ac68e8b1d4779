// Outlook 2016 as a machine's mail client keeps its accounts below its own
// Office key, which the program does not change: both modes end with 8, leave
// both hives byte for byte as they were (with or without an Outlook 2007
// profile left over) and log the settings to enter in Outlook. The Windows
// build under wine64 leaves Outlook's keys alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::MaskedLines;
using testing::ReadHostFile;
using testing::ReadTestData;

std::vector<std::string> Outlook2016(bool old_profile) {
  std::vector<std::string> files = {ReadTestData("registry/outlook_2016.reg")};
  if (old_profile) files.push_back(ReadTestData("registry/outlook_2007_profile.reg"));
  return files;
}

// Every file below `folder` but the run's log and lock.
std::vector<std::string> FilesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "Quillbank.log" && name != "quillbank.lock") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

const std::vector<std::string> kRuns[] = {
    {"-n", "Jane Doe", "-a", "jane@tessaline.net", "-c", "1", "-d"}, {"-auto", "-p", "Tess-"}};
constexpr const char* kMessage =
    "This version of Outlook keeps its accounts where Quillbank does not write them. Add the "
    "account in Outlook with the settings in the log.";

TEST(OutlookOwnStoreE2eTest, NeitherModeChangesTheHivesAndBothLogTheSettings) {
  for (const bool old_profile : {true, false}) {
    SCOPED_TRACE(old_profile ? "with an Outlook 2007 profile" : "without one");
    const e2e::JaneMachine machine("own-store-e2e", Outlook2016(old_profile));
    const std::string system = ReadHostFile(machine.path() / "system.reg");
    const std::string user = ReadHostFile(machine.path() / "user.reg");
    const std::vector<std::string> files = FilesBelow(machine.path());
    for (const std::vector<std::string>& args : kRuns) {
      const e2e::ProgramRun run = machine.Run(args);
      EXPECT_EQ(run.exit_code, 8) << run.out << run.err;
      EXPECT_EQ(run.out.rfind(std::string(kMessage) + "\n", 0), 0u) << run.out;
    }
    EXPECT_EQ(ReadHostFile(machine.path() / "system.reg"), system);
    EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), user);
    EXPECT_EQ(FilesBelow(machine.path()), files);
    EXPECT_EQ(machine.LogLines(), MaskedLines(ReadTestData("logs/outlook_2016_runs.log")));
  }
}

// `reg query /s` of Outlook's keys and the Windows Messaging Subsystem's.
std::vector<std::string> OutlookKeys(const e2e::ScenarioPrefix& prefix) {
  std::vector<std::string> keys;
  for (const char* key : {"HKLM\\Software\\Clients\\Mail\\Microsoft Outlook",
                          "HKCU\\Software\\Microsoft\\Office\\16.0\\Outlook",
                          "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
                          "Subsystem"}) {
    const e2e::ProgramRun query = e2e::RunWindowsProgram(prefix.path(), "reg", {"query", key, "/s"});
    EXPECT_EQ(query.exit_code, 0) << key << query.err;
    keys.push_back(query.out);
  }
  return keys;
}

TEST(OutlookOwnStoreE2eTest, TheWindowsBuildUnderWineLeavesOutlooksKeysAlike) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  ASSERT_EQ(e2e::ImportRegistry(prefix, Outlook2016(true)).exit_code, 0);
  const std::vector<std::string> keys = OutlookKeys(prefix);
  ASSERT_NE(keys[1].find("DefaultProfile"), std::string::npos) << keys[1];
  ASSERT_NE(keys[2].find("9375CFF0413111d3B88A00104B2A6676"), std::string::npos) << keys[2];

  EXPECT_EQ(e2e::RunWindowsProgramTyped(prefix, "-n \"Jane Doe\" -a jane@tessaline.net -c 1 -d"), 8);
  EXPECT_EQ(e2e::RunWindowsProgramTyped(prefix, "-auto -p \"Tess-\""), 8);
  EXPECT_EQ(OutlookKeys(prefix), keys);
  EXPECT_EQ(MaskedLines(ReadHostFile(testing::FindHostFile(prefix.UserFolder(), "Quillbank.log"))),
            MaskedLines(ReadTestData("logs/outlook_2016_runs.log")));
}

}  // namespace
}  // namespace quillbank
