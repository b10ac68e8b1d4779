// Thunderbird as the default mail client of a machine folder, copied by the
// automatic mode of the program started as a process: the copy is named by
// the prefix and the address, the account copied from keeps every byte, a
// second run finds the copy, and a run that cannot read an account changes
// nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
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
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;
using testing::WriteHostFile;
using e2e::Holds;

// Thunderbird is the default mail client.
std::vector<std::string> Registry() {
  return {ReadTestData("registry/thunderbird.reg"), ReadTestData("registry/thunderbird_default.reg")};
}

// jane's Thunderbird folder below `roaming`: one profile, holding her two
// accounts.
void WriteThunderbird(const fs::path& roaming) {
  WriteHostFile(roaming / "Thunderbird" / "profiles.ini",
                ReadTestData("thunderbird/profiles.ini") + "Default=1\r\n");
  WriteHostFile(roaming / "Thunderbird" / "Profiles" / "abcd1234.default" / "prefs.js",
                ReadTestData("thunderbird/prefs_two_accounts.js"));
}

// Every file of the machine but the log and the run lock, by path.
std::map<std::string, std::string> Files(const fs::path& machine) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    const fs::path name = entry.path().filename();
    if (entry.is_regular_file() && name != "Quillbank.log" && name != "quillbank.lock") {
      files[entry.path().string()] = ReadHostFile(entry.path());
    }
  }
  return files;
}

class ThunderbirdAutoE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteThunderbird(machine.Roaming()); }

  ProgramRun Run(const std::vector<std::string>& args) { return machine.Run(args); }
  fs::path Prefs() const {
    return machine.Roaming() / "Thunderbird/Profiles/abcd1234.default/prefs.js";
  }
  std::vector<std::string> Log() const { return machine.LogLines(); }
  // True when every line of the original file is still there, unchanged
  // and in its order, but the two lists the copy joins.
  bool KeepsTheOriginal(const std::string& prefs) const {
    std::size_t from = 0;
    for (const std::string& line : MaskedLines(ReadTestData("thunderbird/prefs_two_accounts.js"))) {
      if (line.find("\"mail.accountmanager.accounts\"") != std::string::npos ||
          line.find("\"mail.smtpservers\"") != std::string::npos) {
        continue;
      }
      from = prefs.find(line + "\r\n", from);
      if (from == std::string::npos) return false;
    }
    return true;
  }

  const e2e::JaneMachine machine{"tb-auto-e2e", Registry()};
};

TEST_F(ThunderbirdAutoE2eTest, CopiesTheDefaultAccountUnderThePrefixAndFindsTheCopyAgain) {
  const ProgramRun first = Run({"-auto", "-p", "Tessaline "});
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  const std::vector<std::string> log = Log();
  EXPECT_TRUE(Holds(log, "GetDefAcct Result (mail.accountmanager.defaultaccount): account2"));
  EXPECT_TRUE(Holds(log, "Default Email Address: jane@example.com"));
  EXPECT_TRUE(Holds(log, "Default Display Name: Jane Doe"));
  EXPECT_TRUE(Holds(log, "Searching for existant Tessaline jane@example.com account ... not found. "
                         "Creating new account."));
  const std::string copied = ReadHostFile(Prefs());
  EXPECT_TRUE(KeepsTheOriginal(copied)) << copied;
  EXPECT_NE(copied.find("\"mail.server.server3.name\", \"Tessaline jane@example.com\""),
            std::string::npos)
      << copied;
  EXPECT_NE(copied.find("\"mail.identity.id2.useremail\", \"jane@example.com\""), std::string::npos);

  // Found again by its name, although the original has the same address.
  const ProgramRun second = Run({"-auto", "-p", "Tessaline "});
  EXPECT_EQ(second.exit_code, 5) << second.out;
  EXPECT_EQ(ReadHostFile(Prefs()), copied);

  // With -u the copy is reset, the original stays.
  std::string changed = copied;
  const std::string copy_host = "\"mail.server.server3.hostname\", \"secure.tessaline.net\"";
  changed.replace(changed.find(copy_host), copy_host.size(),
                  "\"mail.server.server3.hostname\", \"elsewhere.example\"");
  WriteHostFile(Prefs(), changed);
  const ProgramRun reset = Run({"-auto", "-p", "Tessaline ", "-u"});
  ASSERT_EQ(reset.exit_code, 0) << reset.out;
  EXPECT_EQ(ReadHostFile(Prefs()), copied);
}

TEST_F(ThunderbirdAutoE2eTest, ASearchWithoutAMatchEndsWithNoDefaultAndChangesNothing) {
  const std::map<std::string, std::string> before = Files(machine.path());
  const ProgramRun run = Run({"-auto", "-p", "Tessaline ", "-s", "nobody", "-u"});
  EXPECT_EQ(run.exit_code, 11) << run.out;
  EXPECT_EQ(Files(machine.path()), before);
  EXPECT_TRUE(Holds(Log(), "FindAcctByAddr Result (useremail containing nobody): *ERROR*"));
}

TEST_F(ThunderbirdAutoE2eTest, ADefaultNamingAMissingAccountEndsWithDefaultDneAndChangesNothing) {
  std::string prefs = ReadTestData("thunderbird/prefs_two_accounts.js");
  const std::string line = "\"mail.accountmanager.defaultaccount\", \"account2\"";
  prefs.replace(prefs.find(line), line.size(), "\"mail.accountmanager.defaultaccount\", \"account7\"");
  WriteHostFile(Prefs(), prefs);
  const std::map<std::string, std::string> before = Files(machine.path());
  const ProgramRun run = Run({"-auto", "-p", "Tessaline ", "-u"});
  EXPECT_EQ(run.exit_code, 12) << run.out;
  EXPECT_EQ(Files(machine.path()), before);
  EXPECT_TRUE(Holds(Log(), "GetAcctAddr Result (useremail of account7): *ERROR*"));
}

// ------------------------------------------------------------ under wine64

// The run's own lines from the automatic mode's first line on, without the
// profile's path, which names the user.
std::vector<std::string> RunLines(const std::vector<std::string>& lines) {
  std::vector<std::string> run;
  for (const std::string& line : e2e::AutomaticRunLines(lines)) {
    if (line.rfind("Thunderbird profile in use: ", 0) != 0) run.push_back(line);
  }
  return run;
}

TEST_F(ThunderbirdAutoE2eTest, TheWindowsBuildUnderWineWritesTheSamePrefsAndLog) {
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const ProgramRun imported = e2e::ImportRegistry(prefix, Registry());
  ASSERT_EQ(imported.exit_code, 0) << imported.err;
  const fs::path wine_roaming = prefix.UserFolder() / "AppData" / "Roaming";
  WriteThunderbird(wine_roaming);

  const ProgramRun native = Run({"-auto", "-p", "Tessaline "});
  ASSERT_EQ(native.exit_code, 0) << native.out;
  ASSERT_EQ(e2e::RunWindowsProgramTyped(prefix, "-auto -p \"Tessaline \""), 0);
  EXPECT_EQ(ReadHostFile(wine_roaming / "Thunderbird/Profiles/abcd1234.default/prefs.js"),
            ReadHostFile(Prefs()));
  EXPECT_EQ(RunLines(MaskedLines(ReadHostFile(wine_roaming / "Quillbank.log"))), RunLines(Log()));
}

}  // namespace
}  // namespace quillbank
