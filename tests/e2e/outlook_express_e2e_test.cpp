// Outlook Express as the default mail client of a machine folder, configured
// by the program started as a process: the automatic mode copies the default
// account (or the first one holding the search text) under the prefixed name,
// and a search that matches nothing changes nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
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
using testing::MaskedLines;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;

constexpr const char* kAccounts = "Software\\Microsoft\\Internet Account Manager\\Accounts\\";

// One account as the test seeds it and reads it back: value name to
// "sz:text" or "dword:n".
using AccountValues = std::map<std::string, std::string>;

// The values of one account key of the machine folder, read through the
// program's own machine backend; empty when the key is missing.
AccountValues ReadAccount(const fs::path& machine, const std::string& key_name) {
  static const char* const kNames[] = {
      "Account Name", "Connection Type", "Leave Mail On Server", "POP3 Port",
      "POP3 Prompt for Password", "POP3 Secure Connection", "POP3 Server", "POP3 Skip Account",
      "POP3 Timeout", "POP3 User Name", "SMTP Display Name", "SMTP Email Address", "SMTP Port",
      "SMTP Prompt for Password", "SMTP Secure Connection", "SMTP Server", "SMTP Split Messages",
      "SMTP Timeout", "SMTP Use Sicily", "SMTP User Name"};
  SystemOpenResult opened = testing::OpenMachine(machine);
  AccountValues values;
  if (!opened.services) {
    ADD_FAILURE() << opened.error;
    return values;
  }
  std::unique_ptr<RegistryKey> key;
  if (opened.services->platform().registry.Open(RegRoot::CurrentUser, kAccounts + key_name,
                                                RegAccess::Read, key) != 0) {
    return values;
  }
  for (const char* name : kNames) {
    RegValue value;
    if (key->QueryValue(name, 1000, value) != 0) continue;
    values[name] = value.type == reg_type::kDword ? "dword:" + std::to_string(DwordOf(value))
                                                  : "sz:" + TextOf(value);
  }
  return values;
}

AccountValues ExpectedAccount(const std::string& account_name, const std::string& address,
                              const std::string& name) {
  return {{"Account Name", "sz:" + account_name},
          {"Connection Type", "dword:3"},
          {"Leave Mail On Server", "dword:0"},
          {"POP3 Port", "dword:995"},
          {"POP3 Prompt for Password", "dword:0"},
          {"POP3 Secure Connection", "dword:1"},
          {"POP3 Server", "sz:secure.tessaline.net"},
          {"POP3 Skip Account", "dword:0"},
          {"POP3 Timeout", "dword:60"},
          {"POP3 User Name", "sz:" + address},
          {"SMTP Display Name", "sz:" + name},
          {"SMTP Email Address", "sz:" + address},
          {"SMTP Port", "dword:465"},
          {"SMTP Prompt for Password", "dword:1"},
          {"SMTP Secure Connection", "dword:1"},
          {"SMTP Server", "sz:secure.tessaline.net"},
          {"SMTP Split Messages", "dword:0"},
          {"SMTP Timeout", "dword:60"},
          {"SMTP Use Sicily", "dword:2"},
          {"SMTP User Name", "sz:" + address}};
}

// Outlook Express as the default mail client, with two accounts:
// "00000001" (the default, jane@tessaline.net) and "00000002"
// (jane.work@tessaline.net).
std::vector<std::string> Registry() {
  return {ReadTestData("registry/outlook_express.reg"), ReadTestData("registry/outlook_express_default.reg"),
          ReadTestData("registry/outlook_express_accounts.reg")};
}

class OutlookExpressE2eTest : public ::testing::Test {
 protected:
  ProgramRun RunProgram(const std::vector<std::string>& args) const { return machine.Run(args); }
  AccountValues Account(const std::string& key_name) const { return ReadAccount(machine.path(), key_name); }

  const e2e::JaneMachine machine{"oe-e2e", Registry()};
};

TEST_F(OutlookExpressE2eTest, TheAutomaticModeCopiesTheDefaultAccountUnderThePrefix) {
  const ProgramRun outcome = RunProgram({"-auto", "-p", "Tess-"});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.out;

  EXPECT_EQ(Account("Tess-jane@tessaline.net"),
            ExpectedAccount("Tess-jane@tessaline.net", "jane@tessaline.net", "Jane Doe"));
  // The account copied from is left as it was.
  EXPECT_EQ(Account("00000001")["POP3 Server"], "sz:pop.example.com");

  const std::vector<std::string> lines = machine.LogLines();
  const std::vector<std::string> expected = {
      "Automatically Configuring from default email client's default account.",
      "GetDefAcct Test Result: 0",
      "Result: 00000001",
      "GetAcctAddr Test Result: 0",
      "Result: jane@tessaline.net",
      "Default Email Address: jane@tessaline.net",
      "Default Display Name: Jane Doe",
      "Make Account Default: No",
      "Overwrite Existing Account: No",
      "Client Selected to Configure: Microsoft Outlook Express",
      "",
      "Starting Outlook Express configuration...",
      "",
      "Searching for existing jane@tessaline.net account ... ",
      "...not found. Creating new account.",
  };
  const auto start = std::find(lines.begin(), lines.end(), expected.front());
  ASSERT_NE(start, lines.end()) << ReadHostFile(machine.LogFile());
  ASSERT_GE(static_cast<std::size_t>(lines.end() - start), expected.size());
  EXPECT_EQ(std::vector<std::string>(start, start + expected.size()), expected);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      std::string("Writing at RegKey: ") + kAccounts + "Tess-jane@tessaline.net\\"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Email Client Configuration Successful!"),
            lines.end());
}

TEST_F(OutlookExpressE2eTest, ASearchTextPicksTheFirstAccountHoldingIt) {
  const ProgramRun outcome = RunProgram({"-auto", "-p", "Tess-", "-s", "work", "-d"});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.out;
  EXPECT_EQ(Account("Tess-jane.work@tessaline.net"),
            ExpectedAccount("Tess-jane.work@tessaline.net", "jane.work@tessaline.net",
                            "Jane at Work"));
  EXPECT_TRUE(Account("Tess-jane@tessaline.net").empty());
  const std::vector<std::string> lines = machine.LogLines();
  // The search line is continued by the next reader's line.
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Searching for existant work account ... GetAcctAddr Test Result: 0"),
            lines.end());
}

TEST_F(OutlookExpressE2eTest, ASearchThatMatchesNothingEndsWithNoDefaultAndChangesNothing) {
  const std::string hive = ReadHostFile(machine.path() / "user.reg");
  const ProgramRun outcome = RunProgram({"-auto", "-p", "Tess-", "-s", "nobody", "-u", "-d"});
  EXPECT_EQ(outcome.exit_code, 11) << outcome.out;
  EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), hive);
  const std::vector<std::string> lines = machine.LogLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{
                "Searching for existant nobody account ... GetAcctAddr Test Result: 2",
                "Email Client Configuration failed with error : noDefault",
                "Description: The system's default email client's default account could not be "
                "identified using your search criteria.",
                "* Configuration Failed at <time> *",
                "",
            }));
}


TEST_F(OutlookExpressE2eTest, ADefaultAccountWithoutAReadableAddressEndsWithDefaultDne) {
  // The default names an account whose address is longer than the store's
  // 100-byte buffer: it cannot be read, so nothing is copied.
  std::string hive = ReadHostFile(machine.path() / "user.reg");
  const std::string address_line = "\"SMTP Email Address\"=\"jane@tessaline.net\"";
  hive.replace(hive.find(address_line), address_line.size(),
               "\"SMTP Email Address\"=\"" + std::string(100, 'j') + "@tessaline.net\"");
  testing::WriteHostFile(machine.path() / "user.reg", hive);

  const ProgramRun outcome = RunProgram({"-auto", "-p", "Tess-", "-u"});
  EXPECT_EQ(outcome.exit_code, 12) << outcome.out;
  EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), hive);
  const std::vector<std::string> lines = machine.LogLines();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 8, lines.end() - 2),
            (std::vector<std::string>{
                "GetDefAcct Test Result: 0",
                "Result: 00000001",
                "GetAcctAddr Test Result: 0",
                "Result: *ERROR*",
                "Email Client Configuration failed with error : defaultDNE",
                "Description: The system's default email client's default account no longer exists.",
            }));
}

// ------------------------------------------------------------ under wine64

std::vector<std::string> WineLog(const fs::path& prefix) {
  return MaskedLines(ReadHostFile(testing::FindHostFile(prefix / "drive_c" / "users", "Quillbank.log")));
}

TEST_F(OutlookExpressE2eTest, TheWindowsBuildUnderWineLeavesTheSameAccountsAndLog) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  e2e::ScenarioPrefix scenario_prefix;
  ASSERT_TRUE(scenario_prefix.ok());
  const fs::path prefix = scenario_prefix.path();
  ASSERT_EQ(e2e::ImportRegistry(scenario_prefix, Registry()).exit_code, 0);

  struct Scenario {
    std::vector<std::string> native_args;
    std::string windows_args;
    int exit_code;
    std::vector<std::string> keys;
  };
  const std::vector<Scenario> scenarios = {
      {{"-auto", "-p", "Tess-"}, "-auto -p \"Tess-\"", 0, {"Tess-jane@tessaline.net"}},
      {{"-auto", "-p", "Tess-", "-s", "work", "-d"}, "-auto -p \"Tess-\" -s \"work\" -d", 0,
       {"Tess-jane.work@tessaline.net"}},
      {{"-auto", "-p", "Tess-", "-s", "nobody"}, "-auto -p \"Tess-\" -s \"nobody\"", 11,
       {"Tess-jane@tessaline.net"}},
  };
  for (const Scenario& scenario : scenarios) {
    const ProgramRun native = RunProgram(scenario.native_args);
    EXPECT_EQ(native.exit_code, scenario.exit_code) << native.out;
    EXPECT_EQ(e2e::RunWindowsProgramTyped(scenario_prefix, scenario.windows_args), scenario.exit_code)
        << scenario.windows_args;
    for (const std::string& key : {std::string("00000001"), std::string("00000002")}) {
      EXPECT_EQ(ReadAccount(prefix, key), Account(key)) << key;
    }
    for (const std::string& key : scenario.keys) {
      EXPECT_EQ(ReadAccount(prefix, key), Account(key)) << key;
    }
  }
  EXPECT_EQ(ReadAccount(prefix, "Tess-jane.work@tessaline.net")["Account Name"],
            "sz:Tess-jane.work@tessaline.net");
  EXPECT_EQ(e2e::AutomaticRunLines(WineLog(prefix)), e2e::AutomaticRunLines(machine.LogLines()));
}

// A fleet tool reads the Windows build's last line of standard output as
// JSON: the outcome and the account key the run created, named, as this
// store names its accounts, by the address.
TEST_F(OutlookExpressE2eTest, TheWindowsBuildEndsItsRedirectedOutputWithTheJsonLine) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  e2e::ScenarioPrefix scenario_prefix;
  ASSERT_TRUE(scenario_prefix.ok());
  ASSERT_EQ(e2e::ImportRegistry(scenario_prefix, Registry()).exit_code, 0);
  const ProgramRun run =
      e2e::RunWindowsProgram(scenario_prefix.path(), e2e::WindowsProgram().string(),
                                 {"-n", "Jane \"Q\" Doe", "-a", "jane.new@tessaline.net", "-c", "0",
                                  "--json"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string out = run.out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  const nlohmann::json line = nlohmann::json::parse(out.substr(out.rfind('\n') + 1));
  EXPECT_EQ(line["exit"], 0);
  EXPECT_EQ(line["outcome"], "configured");
  EXPECT_EQ(line["client"], "Outlook Express");
  EXPECT_EQ(line["address"], "jane.new@tessaline.net");
  ASSERT_FALSE(line["changes"].empty()) << line.dump();
  EXPECT_EQ(line["changes"][0]["kind"], "registry");
  EXPECT_EQ(line["changes"][0]["action"], "create");
  EXPECT_EQ(line["changes"][0]["store"],
            "HKEY_CURRENT_USER\\" + std::string(kAccounts) + "jane.new@tessaline.net");
}

// The Windows build previews a run, changing nothing, then makes it, and
// --undo gives the accounts back as `reg query` reads them.
TEST_F(OutlookExpressE2eTest, TheWindowsBuildPreviewsARunAndUndoesIt) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  e2e::ScenarioPrefix scenario_prefix;
  ASSERT_TRUE(scenario_prefix.ok());
  ASSERT_EQ(e2e::ImportRegistry(scenario_prefix, Registry()).exit_code, 0);
  const auto accounts = [&] {
    return e2e::RunWindowsProgram(scenario_prefix.path(), "reg",
                                  {"query", "HKCU\\Software\\Microsoft\\Internet Account Manager", "/s"})
        .out;
  };
  const std::string before = accounts();
  ASSERT_NE(before.find("00000002"), std::string::npos) << before;
  const std::vector<std::string> run = {"-n", "Jane Q", "-a", "jane.new@tessaline.net", "-c", "0",
                                        "-d"};
  const auto with = [&](const char* option) {
    std::vector<std::string> args = run;
    args.push_back(option);
    return e2e::RunWindowsProgram(scenario_prefix.path(), e2e::WindowsProgram().string(), args);
  };

  const ProgramRun dry = with("--dry-run");
  ASSERT_EQ(dry.exit_code, 0) << dry.out << dry.err;
  EXPECT_NE(dry.out.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts\\"
                         "jane.new@tessaline.net]"),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("\"POP3 Port\"=dword:000003e3"), std::string::npos) << dry.out;
  EXPECT_EQ(accounts(), before);

  ASSERT_EQ(with("--json").exit_code, 0);
  EXPECT_NE(accounts(), before);
  const ProgramRun undo = e2e::RunWindowsProgram(scenario_prefix.path(),
                                                 e2e::WindowsProgram().string(), {"--undo"});
  EXPECT_EQ(undo.exit_code, 0) << undo.out << undo.err;
  EXPECT_EQ(accounts(), before);
}

}  // namespace
}  // namespace quillbank
