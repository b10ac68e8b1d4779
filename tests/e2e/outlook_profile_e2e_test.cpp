// Outlook 2007 as a machine's mail client, configured by the program started
// as a process: a new default account in the profile's account store, then
// the automatic mode copying it under a prefixed name. The same two runs by
// the Windows build under wine64, on a Wine prefix seeded with the same keys,
// must leave the same values in the store.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "env/platform/system.h"
#include "env/registry_access.h"
#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::ReadTestData;

constexpr const char* kStore =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\"
    "Outlook\\9375CFF0413111d3B88A00104B2A6676\\";
constexpr const char* kList = "{ED475418-B0D6-11D2-8C3B-00104B2A6676}";

// Outlook 2007 installed and the default mail program; its profile "Outlook"
// holds accounts 1 and 2, in that order.
std::vector<std::string> OutlookMachine() {
  return {ReadTestData("registry/outlook_2007.reg"), ReadTestData("registry/outlook_2007_profile.reg")};
}

// ------------------------------------------------------------------ running

// The log lines from the run's request on, time stamps masked.
std::vector<std::string> RunLines(const fs::path& folder) {
  const fs::path log = testing::FindHostFile(folder, "Quillbank.log");
  std::vector<std::string> lines;
  bool started = false;
  for (const std::string& line : testing::LinesOf(testing::MaskTimeStamps(ReadHostFile(log)))) {
    started = started || line.rfind("User Entered", 0) == 0 || line.rfind("Automatically", 0) == 0;
    if (started) lines.push_back(line);
  }
  return lines;
}

// Every value of the account store the runs touch, one line each
// ("<key>\<name>=<type>:<hex bytes>"), read through the machine backend.
std::vector<std::string> StoreValues(const fs::path& folder) {
  static const char* const kStoreValues[] = {"NextAccountID", kList, "LastChangeVer"};
  static const char* const kAccountValues[] = {
      "Account Name", "clsid", "Display Name", "Email", "Leave on Server", "POP3 Port",
      "POP3 Server", "POP3 Use SSL", "POP3 User", "SMTP Port", "SMTP Use Auth", "SMTP Server",
      "SMTP Use SSL"};
  std::vector<std::string> lines;
  SystemOpenResult opened = testing::OpenMachine(folder);
  if (!opened.services) {
    ADD_FAILURE() << opened.error;
    return lines;
  }
  Registry& registry = opened.services->platform().registry;
  auto describe = [&](const std::string& path, const char* const* names, std::size_t count) {
    std::unique_ptr<RegistryKey> key;
    if (registry.Open(RegRoot::CurrentUser, path, RegAccess::Read, key) != 0) return;
    for (std::size_t i = 0; i < count; ++i) {
      RegValue value;
      if (key->QueryValue(names[i], 1000, value) != 0) continue;
      std::string line = path.substr(std::string(kStore).size()) + names[i] + "=" +
                         std::to_string(value.type) + ":";
      char byte[4];
      for (const std::uint8_t b : value.data) {
        std::snprintf(byte, sizeof byte, " %02x", b);
        line += byte;
      }
      lines.push_back(line);
    }
  };
  describe(kStore, kStoreValues, std::size(kStoreValues));
  std::unique_ptr<RegistryKey> store;
  if (registry.Open(RegRoot::CurrentUser, kStore, RegAccess::Read, store) == 0) {
    std::uint32_t count = 0;
    if (store->QuerySubkeyCount(count) != 0) count = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::string name;
      if (store->EnumKey(i, 100, name) != 0) continue;
      describe(kStore + name + "\\", kAccountValues, std::size(kAccountValues));
    }
  }
  return lines;
}

const std::vector<std::string> kNewDefaultRun = {"-n", "Jane Doe", "-a", "jane@tessaline.net",
                                                 "-c", "1", "-d"};
const std::vector<std::string> kAutomaticRun = {"-auto", "-p", "Tess-"};
// Under Wine a prefix reaches the Windows program quoted (as a user would
// type it) only when it holds a blank.
const std::vector<std::string> kQuotedAutomaticRun = {"-auto", "-p", "Tessaline - "};

class OutlookProfileE2eTest : public ::testing::Test {
 protected:
  int RunNative(const std::vector<std::string>& args) { return machine.Run(args).exit_code; }

  const e2e::JaneMachine machine{"profile-e2e", OutlookMachine()};
};

TEST_F(OutlookProfileE2eTest, NewDefaultAccountThenItsAutomaticCopy) {
  ASSERT_EQ(RunNative(kNewDefaultRun), 0) << ReadHostFile(machine.path() / "user.reg");
  const std::string clsid =
      " 7b 45 44 34 37 35 34 31 31 2d 42 30 44 36 2d 31 31 44 32 2d 38 43 33 42 2d 30 30 31 30 "
      "34 42 32 41 36 36 37 36 7d 00";
  std::vector<std::string> values = StoreValues(machine.path());
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 3),
            (std::vector<std::string>{
                "NextAccountID=4: 04 00 00 00",
                std::string(kList) + "=3: 03 00 00 00 01 00 00 00 02 00 00 00",
                "LastChangeVer=3: 80 01 00 00 00 00 00 00",
            }));
  const auto clsid_line = std::find(values.begin(), values.end(), "00000003\\clsid=1:" + clsid);
  EXPECT_NE(clsid_line, values.end());

  ASSERT_EQ(RunNative(kAutomaticRun), 0);
  values = StoreValues(machine.path());
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 3),
            (std::vector<std::string>{
                "NextAccountID=4: 05 00 00 00",
                std::string(kList) + "=3: 03 00 00 00 01 00 00 00 02 00 00 00 04 00 00 00",
                "LastChangeVer=3: 81 01 00 00 00 00 00 00",
            }));
  const std::vector<std::string> lines = RunLines(machine.path());
  const std::vector<std::string> expected = {
      "Default Email Address: jane@tessaline.net",
      "Default Display Name: Jane Doe",
      "Make Account Default: No",
      "Overwrite Existing Account: No",
      "Client Selected to Configure: Microsoft Outlook",
      "",
      "Starting Outlook configuration...",
      "",
      "Searching for existant jane@tessaline.net account ... not found. Creating new account.",
      "",
      "The following settings were written/overwritten in the system registry:",
      "",
      "Account Name: Tess-jane@tessaline.net",
  };
  const auto start = std::find(lines.begin(), lines.end(), expected.front());
  ASSERT_GE(lines.end() - start, static_cast<std::ptrdiff_t>(expected.size()));
  EXPECT_EQ(std::vector<std::string>(start, start + expected.size()), expected);
}

TEST_F(OutlookProfileE2eTest, WithoutProfilesTheRunShowsTheMessagingTree) {
  // Outlook without its profiles: the messaging tree holds only Applications.
  fs::remove_all(machine.path());
  machine.Seed({ReadTestData("registry/outlook_2007.reg"),
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
                "Subsystem\\Applications\\Outlook]\r\n"});
  const std::string hive = ReadHostFile(machine.path() / "user.reg");
  EXPECT_EQ(RunNative(kNewDefaultRun), 3);
  EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), hive);
  const std::vector<std::string> lines = RunLines(machine.path());
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 6, lines.end()),
            (std::vector<std::string>{
                "Description: ERROR: Outlook has not been run for the first time. Please run and "
                "close Outlook and try again.",
                "Relevant Registry Structure:",
                "Applications",
                "   Outlook",
                "* Configuration Failed at <time> *",
                "",
            }));
}

// The same two runs by the Windows build under wine64, on a fresh prefix
// seeded with the same keys, leave the same store values and log lines.
TEST_F(OutlookProfileE2eTest, WindowsBuildUnderWineLeavesTheSameValues) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  const fs::path program = e2e::WindowsProgram();
  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  ASSERT_EQ(e2e::ImportRegistry(prefix, OutlookMachine()).exit_code, 0);

  for (const std::vector<std::string>* args : {&kNewDefaultRun, &kQuotedAutomaticRun}) {
    const e2e::ProgramRun run = e2e::RunWindowsProgram(prefix.path(), program.string(), *args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(RunNative(*args), 0);
    EXPECT_EQ(StoreValues(prefix.path()), StoreValues(machine.path())) << (*args)[0];
    EXPECT_EQ(RunLines(prefix.path()), RunLines(machine.path())) << (*args)[0];
  }
}

}  // namespace
}  // namespace quillbank
