// The automatic mode with Windows Mail as the default mail client, run as a
// process on a machine folder: the default account copied under the prefix,
// the copy found again by its name, and the runs that cannot read an account
// ending without changing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/test_data.h"
#include "tests/support/utf16_lines.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using e2e::Holds;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;
using testing::WriteHostFile;

constexpr const char* kStoreFolder = "AppData/Local/Microsoft/Windows Mail/Local Folders";
constexpr const char* kOriginal = "account{home}.oeaccount";

// An account file of tests/data/windows_mail as Windows Mail keeps it, in
// UTF-16.
std::string AccountFile(const std::string& name) {
  return testing::Utf16LeFile(testing::TestDataLines("windows_mail/" + name));
}
// Jane's account as Windows Mail keeps it: tab-indented, with elements this
// program never writes.
std::string OriginalAccount() { return AccountFile("home_account.oeaccount.txt"); }
// The copy the automatic mode makes of it.
std::string ExpectedCopy() { return AccountFile("home_account_copy.oeaccount.txt"); }

class WindowsMailAutoE2eTest : public ::testing::Test {
 protected:
  // Windows Mail as the default mail client, with Jane's account as its
  // default account.
  void WriteMachine(const std::string& default_account) {
    machine.Seed({ReadTestData("registry/windows_mail.reg"), ReadTestData("registry/windows_mail_default.reg"),
                  ReadTestData("registry/windows_mail_store.reg"),
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\IAM]\r\n"
                  "\"Default Mail Account\"=\"" + default_account + "\"\r\n"});
    WriteHostFile(StoreFolder() / kOriginal, OriginalAccount());
  }

  ProgramRun Run(const std::vector<std::string>& args) const { return machine.Run(args); }
  fs::path StoreFolder() const { return machine.Jane() / kStoreFolder; }
  std::vector<std::string> LogLines() const { return machine.LogLines(); }
  // Every account file by name and content, and both hives.
  std::vector<std::pair<std::string, std::string>> State() const {
    std::vector<std::pair<std::string, std::string>> state;
    for (const auto& entry : fs::directory_iterator(StoreFolder())) {
      state.emplace_back(entry.path().filename().string(), ReadHostFile(entry.path()));
    }
    std::sort(state.begin(), state.end());
    state.emplace_back("user.reg", ReadHostFile(machine.path() / "user.reg"));
    state.emplace_back("system.reg", ReadHostFile(machine.path() / "system.reg"));
    return state;
  }

  const e2e::JaneMachine machine{"winmail-auto-e2e"};
};

TEST_F(WindowsMailAutoE2eTest, CopiesTheDefaultAccountUnderThePrefixAndFindsTheCopyByItsName) {
  WriteMachine(kOriginal);
  const std::vector<std::string> args{"-auto", "-p", "Tessaline "};
  const ProgramRun created = Run(args);
  ASSERT_EQ(created.exit_code, 0) << created.out;

  std::vector<std::pair<std::string, std::string>> state = State();
  ASSERT_EQ(state.size(), 4u);  // the copy, the original and the two hives
  const std::string copy = state[0].first;
  EXPECT_TRUE(std::regex_match(copy, std::regex(R"(account\{[0-9a-f-]{36}\}\.oeaccount)"))) << copy;
  EXPECT_EQ(state[0].second, ExpectedCopy());
  EXPECT_EQ(state[1], std::make_pair(std::string(kOriginal), OriginalAccount()));
  std::vector<std::string> lines = LogLines();
  for (const std::string line : {
           "GetDefAcct Result (Default Mail Account): account{home}.oeaccount",
           "GetAcctAddr Result (SMTP_Email_Address of account{home}.oeaccount): jane@example.com",
           "GetAcctName Result (SMTP_Display_Name of account{home}.oeaccount): Jane & Co",
           "Default Email Address: jane@example.com",
           "Default Display Name: Jane & Co",
           "Client Selected to Configure: Microsoft Windows Mail",
           "Account Name: Tessaline jane@example.com",
       }) {
    EXPECT_TRUE(Holds(lines, line)) << line;
  }

  // Found again by its name: nothing changes without -u.
  const ProgramRun again = Run(args);
  EXPECT_EQ(again.exit_code, 5) << again.out;
  EXPECT_EQ(State(), state);

  // With -u the copy is reset, never the original that has its address.
  std::string stale = ReadHostFile(StoreFolder() / copy);
  stale.replace(stale.find(std::string("s\0e\0c\0u\0r\0e\0", 12)), 12, std::string("o\0l\0d\0-\0-\0-\0", 12));
  WriteHostFile(StoreFolder() / copy, stale);
  ASSERT_NE(State(), state);
  const ProgramRun reset = Run({"-auto", "-p", "Tessaline ", "-u"});
  EXPECT_EQ(reset.exit_code, 0) << reset.out;
  EXPECT_EQ(State(), state);
  lines = LogLines();
  EXPECT_TRUE(Holds(lines, " found existant at: C:\\users\\jane\\AppData\\Local\\Microsoft\\Windows "
                           "Mail\\Local Folders\\account{<guid>}.oeaccount"));
}

// Runs that cannot read the account they are to copy: the log says why and
// nothing else changes.
TEST_F(WindowsMailAutoE2eTest, AnAccountThatCannotBeReadEndsTheRunAndChangesNothing) {
  struct Case {
    const char* name;
    const char* default_account;
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> log_end;
  };
  const std::vector<Case> cases{
      {"a search without a match", kOriginal, {"-auto", "-p", "Tessaline ", "-s", "work", "-u", "-d"}, 11,
       {"FindAcctByAddr Result (SMTP_Email_Address containing 'work' in C:\\users\\jane\\AppData\\Local\\"
        "Microsoft\\Windows Mail\\Local Folders\\account*): *ERROR*",
        "GetAcctAddr Result (SMTP_Email_Address of *ERROR*): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of *ERROR*): *ERROR*",
        "Email Client Configuration failed with error : noDefault"}},
      {"a default naming a missing file", "account{gone}.oeaccount", {"-auto", "-p", "Tessaline ", "-u"}, 12,
       {"GetDefAcct Result (Default Mail Account): account{gone}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of account{gone}.oeaccount): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of account{gone}.oeaccount): *ERROR*",
        "Email Client Configuration failed with error : defaultDNE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(machine.path());
    WriteMachine(c.default_account);
    const auto before = State();
    const ProgramRun outcome = Run(c.args);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << outcome.out;
    EXPECT_EQ(State(), before);
    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), c.log_end.size() + 3);
    EXPECT_EQ(std::vector<std::string>(lines.end() - c.log_end.size() - 3, lines.end() - 3), c.log_end);
  }
}

}  // namespace
}  // namespace quillbank
