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
#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;

constexpr const char* kProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr const char* kStore =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\"
    "Outlook\\9375CFF0413111d3B88A00104B2A6676\\";
constexpr const char* kList = "{ED475418-B0D6-11D2-8C3B-00104B2A6676}";

// ------------------------------------------------------------------ seeding

struct SeedValue {
  std::string name;
  std::string kind;  // "sz", "dword" or "hex"
  std::string data;  // text, 8 hex digits, or comma-separated hex bytes
};
struct SeedKey {
  bool machine;  // HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER
  std::string path;
  std::vector<SeedValue> values;
};

std::string Hex16(const std::string& text) {
  std::string out;
  char byte[8];
  for (const char c : text + std::string(1, '\0')) {
    std::snprintf(byte, sizeof byte, "%02x,00,", static_cast<unsigned char>(c));
    out += byte;
  }
  out.pop_back();
  return out;
}

// Outlook 2007 installed and the default mail program; its profile "Outlook"
// holds accounts 1 and 2, in that order.
std::vector<SeedKey> OutlookMachine() {
  const std::string store = kStore;
  return {
      {true, "Software\\Clients\\Mail\\Microsoft Outlook",
       {{"MSIApplicationLCID", "sz", "Software\\Microsoft\\Office\\12.0\\Outlook,LastUILanguage"}}},
      {true, "Software\\Classes\\mailto\\shell\\open\\command",
       {{"", "sz",
         "\"C:\\Program Files\\Microsoft Office\\Office12\\OUTLOOK.EXE\" -c IPM.Note /m \"%1\""}}},
      {false, kProfiles, {{"DefaultProfile", "sz", "Outlook"}}},
      {false, store,
       {{"NextAccountID", "dword", "00000003"},
        {kList, "hex", "01,00,00,00,02,00,00,00"},
        {"LastChangeVer", "hex", "7f,01,00,00,00,00,00,00"}}},
      {false, store + "00000001",
       {{"Account Name", "hex", Hex16("Home")},
        {"Display Name", "hex", Hex16("Jane Doe")},
        {"Email", "hex", Hex16("jane.home@example.org")}}},
      {false, store + "00000002",
       {{"Account Name", "hex", Hex16("Work")},
        {"Display Name", "hex", Hex16("Jane at Work")},
        {"Email", "hex", Hex16("jane.work@example.org")}}},
  };
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string ValueLine(const SeedValue& value) {
  std::string line = value.name.empty() ? "@=" : "\"" + Escaped(value.name) + "\"=";
  if (value.kind == "sz") return line + "\"" + Escaped(value.data) + "\"\n";
  return line + value.kind + ":" + value.data + "\n";
}

// The keys as Wine keeps them in a prefix's hives, for the machine folder.
void WriteMachineFolder(const fs::path& folder, const std::vector<SeedKey>& keys) {
  std::string hives[2];  // system.reg, user.reg
  for (const bool machine : {true, false}) {
    std::string& hive = hives[machine ? 0 : 1];
    std::vector<SeedKey> all = keys;
    if (machine) {
      all.push_back({true, "Software\\Microsoft\\Windows\\CurrentVersion",
                     {{"ProgramFilesDir", "sz", "C:\\Program Files"}}});
    } else {
      all.push_back({false, "Volatile Environment",
                     {{"APPDATA", "sz", "C:\\users\\jane\\AppData\\Roaming"}}});
    }
    for (const SeedKey& key : all) {
      if (key.machine != machine) continue;
      std::string path = key.path;
      while (!path.empty() && path.back() == '\\') path.pop_back();
      if (!hive.empty()) hive += "\n";
      hive += "[" + Escaped(path) + "] 1700000000\n";
      for (const SeedValue& value : key.values) hive += ValueLine(value);
    }
  }
  testing::WriteMachineFolder(folder, hives[0], hives[1]);
}

// The keys as a file for "reg import", for a Wine prefix.
std::string RegFile(const std::vector<SeedKey>& keys) {
  std::string text = "Windows Registry Editor Version 5.00\n";
  for (const SeedKey& key : keys) {
    text += std::string("\n[") + (key.machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") +
            key.path + "]\n";
    for (const SeedValue& value : key.values) text += ValueLine(value);
  }
  return text;
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
  void SetUp() override {
    machine = root / "machine";
    WriteMachineFolder(machine, OutlookMachine());
  }

  int RunNative(const std::vector<std::string>& args) {
    return testing::RunNativeProgram(machine, QUILLBANK_PROGRAM, args).exit_code;
  }

  const testing::TemporaryFolder root{"profile-e2e"};
  fs::path machine;
};

TEST_F(OutlookProfileE2eTest, NewDefaultAccountThenItsAutomaticCopy) {
  ASSERT_EQ(RunNative(kNewDefaultRun), 0) << ReadHostFile(machine / "user.reg");
  const std::string clsid =
      " 7b 45 44 34 37 35 34 31 31 2d 42 30 44 36 2d 31 31 44 32 2d 38 43 33 42 2d 30 30 31 30 "
      "34 42 32 41 36 36 37 36 7d 00";
  std::vector<std::string> values = StoreValues(machine);
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 3),
            (std::vector<std::string>{
                "NextAccountID=4: 04 00 00 00",
                std::string(kList) + "=3: 03 00 00 00 01 00 00 00 02 00 00 00",
                "LastChangeVer=3: 80 01 00 00 00 00 00 00",
            }));
  const auto clsid_line = std::find(values.begin(), values.end(), "00000003\\clsid=1:" + clsid);
  EXPECT_NE(clsid_line, values.end());

  ASSERT_EQ(RunNative(kAutomaticRun), 0);
  values = StoreValues(machine);
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 3),
            (std::vector<std::string>{
                "NextAccountID=4: 05 00 00 00",
                std::string(kList) + "=3: 03 00 00 00 01 00 00 00 02 00 00 00 04 00 00 00",
                "LastChangeVer=3: 81 01 00 00 00 00 00 00",
            }));
  const std::vector<std::string> lines = RunLines(machine);
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
  std::vector<SeedKey> keys = OutlookMachine();
  keys.erase(keys.begin() + 2, keys.end());
  keys.push_back({false, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
                         "Subsystem\\Applications\\Outlook",
                  {}});
  fs::remove_all(machine);
  WriteMachineFolder(machine, keys);
  const std::string hive = ReadHostFile(machine / "user.reg");
  EXPECT_EQ(RunNative(kNewDefaultRun), 3);
  EXPECT_EQ(ReadHostFile(machine / "user.reg"), hive);
  const std::vector<std::string> lines = RunLines(machine);
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
  const fs::path program = e2e::WindowsProgram();
  if (!e2e::WineAvailable() || program.empty()) {
    GTEST_SKIP() << "needs wine64 and the cross-built quillbank.exe";
  }
  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path seed = root / "seed.reg";
  testing::WriteHostFile(seed, RegFile(OutlookMachine()));
  ASSERT_EQ(e2e::RunWindowsProgram(prefix.path(), "reg", {"import", "Z:" + seed.string()}).exit_code,
            0);

  for (const std::vector<std::string>* args : {&kNewDefaultRun, &kQuotedAutomaticRun}) {
    const e2e::ProgramRun run = e2e::RunWindowsProgram(prefix.path(), program.string(), *args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(RunNative(*args), 0);
    EXPECT_EQ(StoreValues(prefix.path()), StoreValues(machine)) << (*args)[0];
    EXPECT_EQ(RunLines(prefix.path()), RunLines(machine)) << (*args)[0];
  }
}

}  // namespace
}  // namespace quillbank
