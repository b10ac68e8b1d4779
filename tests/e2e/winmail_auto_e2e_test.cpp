// The automatic mode with Windows Mail as the default mail client, run as a
// process on a machine folder: the default account copied under the prefix,
// the copy found again by its name, and the runs that cannot read an account
// ending without changing anything.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/utf16_lines.h"
#include "tests/support/log_text.h"
#include "tests/support/program_run.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::Utf16LeFile;
using testing::MaskedLines;
using testing::ProgramRun;
using testing::ReadHostFile;

constexpr const char* kStoreFolder = "AppData/Local/Microsoft/Windows Mail/Local Folders";
constexpr const char* kOriginal = "account{home}.oeaccount";

// Jane's account as Windows Mail keeps it: tab-indented, with elements this
// program never writes.
std::string OriginalAccount(const std::string& address) {
  return Utf16LeFile({
      "<?xml version=\"1.0\" encoding=\"utf-16\" ?>",
      "<MessageAccount>",
      "\t<Account_Name type=\"SZ\">Home mail</Account_Name>",
      "\t<Connection_Type type=\"DWORD\">00000003</Connection_Type>",
      "\t<POP3_Server type=\"SZ\">pop.example.com</POP3_Server>",
      "\t<POP3_User_Name type=\"SZ\">jane</POP3_User_Name>",
      "\t<POP3_Password2 type=\"BINARY\">0123abcd</POP3_Password2>",
      "\t<SMTP_Server type=\"SZ\">smtp.example.com</SMTP_Server>",
      "\t<SMTP_Display_Name type=\"SZ\">Jane &amp; Co</SMTP_Display_Name>",
      "\t<SMTP_Email_Address type=\"SZ\">" + address + "</SMTP_Email_Address>",
      "</MessageAccount>",
  });
}

// The copy the automatic mode makes of it.
std::string ExpectedCopy() {
  return Utf16LeFile({
      "<?xml version=\"1.0\" encoding=\"utf-16\" ?>",
      "<MessageAccount>",
      "    <Account_Name type=\"SZ\">Tessaline jane@example.com</Account_Name>",
      "    <Connection_Type type=\"DWORD\">00000003</Connection_Type>",
      "    <POP3_Server type=\"SZ\">secure.tessaline.net</POP3_Server>",
      "    <POP3_User_Name type=\"SZ\">jane@example.com</POP3_User_Name>",
      "    <POP3_Use_Sicily type=\"DWORD\">00000000</POP3_Use_Sicily>",
      "    <POP3_Port type=\"DWORD\">000003e3</POP3_Port>",
      "    <POP3_Secure_Connection type=\"DWORD\">00000001</POP3_Secure_Connection>",
      "    <POP3_Timeout type=\"DWORD\">0000003c</POP3_Timeout>",
      "    <Leave_Mail_On_Server type=\"DWORD\">00000000</Leave_Mail_On_Server>",
      "    <SMTP_Server type=\"SZ\">secure.tessaline.net</SMTP_Server>",
      "    <SMTP_Use_Sicily type=\"DWORD\">00000002</SMTP_Use_Sicily>",
      "    <SMTP_Port type=\"DWORD\">000001d1</SMTP_Port>",
      "    <SMTP_Secure_Connection type=\"DWORD\">00000001</SMTP_Secure_Connection>",
      "    <SMTP_Timeout type=\"DWORD\">0000003c</SMTP_Timeout>",
      "    <SMTP_Display_Name type=\"SZ\">Jane &amp; Co</SMTP_Display_Name>",
      "    <SMTP_Email_Address type=\"SZ\">jane@example.com</SMTP_Email_Address>",
      "</MessageAccount>",
  });
}

// A machine whose default mail client is Windows Mail, with Jane's account
// as its default account.
void WriteMachine(const fs::path& machine, const std::string& default_account) {
  const fs::path user_folder = machine / "drive_c" / "users" / "jane";
  fs::create_directories(user_folder / "AppData" / "Roaming");
  fs::create_directories(user_folder / kStoreFolder);
  std::ofstream(user_folder / kStoreFolder / kOriginal, std::ios::binary)
      << OriginalAccount("jane@example.com");
  std::ofstream system(machine / "system.reg", std::ios::binary);
  system << "WINE REGISTRY Version 2\n"
            ";; All keys relative to \\\\Machine\n"
            "\n"
            "#arch=win64\n"
            "\n"
            "[Software\\\\Classes\\\\mailto\\\\shell\\\\open\\\\command] 1700000000\n"
            "@=\"\\\"C:\\\\Program Files\\\\Windows Mail\\\\WinMail.exe\\\" /mailurl:%1\"\n"
            "\n"
            "[Software\\\\Clients\\\\Mail\\\\Windows Mail] 1700000000\n"
            "@=\"Windows Mail\"\n"
            "\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
            "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n";
  std::ofstream user(machine / "user.reg", std::ios::binary);
  user << "WINE REGISTRY Version 2\n"
          ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
          "\n"
          "#arch=win64\n"
          "\n"
          "[Software\\\\Microsoft\\\\IAM] 1700000000\n"
          "\"Default Mail Account\"=\"" << default_account << "\"\n"
          "\n"
          "[Software\\\\Microsoft\\\\Windows Mail] 1700000000\n"
          "\"Store Root\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Local\\\\Microsoft\\\\Windows Mail\\\\\"\n"
          "\n"
          "[Volatile Environment] 1700000000\n"
          "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n"
          "\"USERPROFILE\"=\"C:\\\\users\\\\jane\"\n";
}

class WindowsMailAutoE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillbank-winmail-auto-e2e-XXXXXX";
    root = mkdtemp(pattern);
    machine = root / "machine";
  }
  void TearDown() override { fs::remove_all(root); }

  ProgramRun Run(const std::vector<std::string>& args) const {
    return testing::RunNativeProgram(machine, QUILLBANK_PROGRAM, args);
  }
  fs::path StoreFolder() const { return machine / "drive_c" / "users" / "jane" / kStoreFolder; }
  std::vector<std::string> LogLines() const {
    return MaskedLines(ReadHostFile(machine / "drive_c" / "users" / "jane" / "AppData" /
                                     "Roaming" / "Quillbank.log"));
  }
  // Every account file by name and content, and both hives.
  std::vector<std::pair<std::string, std::string>> State() const {
    std::vector<std::pair<std::string, std::string>> state;
    for (const auto& entry : fs::directory_iterator(StoreFolder())) {
      state.emplace_back(entry.path().filename().string(), ReadHostFile(entry.path()));
    }
    std::sort(state.begin(), state.end());
    state.emplace_back("user.reg", ReadHostFile(machine / "user.reg"));
    state.emplace_back("system.reg", ReadHostFile(machine / "system.reg"));
    return state;
  }

  fs::path root;
  fs::path machine;
};

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(WindowsMailAutoE2eTest, CopiesTheDefaultAccountUnderThePrefixAndFindsTheCopyByItsName) {
  WriteMachine(machine, kOriginal);
  const std::vector<std::string> args{"-auto", "-p", "Tessaline "};
  const ProgramRun created = Run(args);
  ASSERT_EQ(created.exit_code, 0) << created.out;

  std::vector<std::pair<std::string, std::string>> state = State();
  ASSERT_EQ(state.size(), 4u);  // the copy, the original and the two hives
  const std::string copy = state[0].first;
  EXPECT_TRUE(std::regex_match(copy, std::regex(R"(account\{[0-9a-f-]{36}\}\.oeaccount)"))) << copy;
  EXPECT_EQ(state[0].second, ExpectedCopy());
  EXPECT_EQ(state[1], std::make_pair(std::string(kOriginal), OriginalAccount("jane@example.com")));
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
  std::ofstream(StoreFolder() / copy, std::ios::binary) << stale;
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
    fs::remove_all(machine);
    WriteMachine(machine, c.default_account);
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
