// Windows Mail configured by the program started as a process on a machine
// folder: the account file it creates, the default account it names, and a
// second run that finds the account again; and the Windows build under
// wine64 leaving the same account file and default account on an equal prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "env/platform/system.h"
#include "env/registry_access.h"
#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/utf16_lines.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::Utf16LeFile;
using testing::MaskedLines;
using testing::ProgramRun;
using testing::ReadHostFile;

// The native program on the machine folder `machine`.
ProgramRun RunProgram(const std::vector<std::string>& args, const fs::path& machine) {
  return testing::RunNativeProgram(machine, QUILLBANK_PROGRAM, args);
}

constexpr const char* kStoreFolder = "AppData/Local/Microsoft/Windows Mail/Local Folders";

const std::string& ExpectedAccountFile() {
  static const std::string file = Utf16LeFile({
      "<?xml version=\"1.0\" encoding=\"utf-16\" ?>",
      "<MessageAccount>",
      "    <Account_Name type=\"SZ\">jane&amp;co@tessaline.net</Account_Name>",
      "    <Connection_Type type=\"DWORD\">00000003</Connection_Type>",
      "    <POP3_Server type=\"SZ\">secure.tessaline.net</POP3_Server>",
      "    <POP3_User_Name type=\"SZ\">jane&amp;co@tessaline.net</POP3_User_Name>",
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
      "    <SMTP_Email_Address type=\"SZ\">jane&amp;co@tessaline.net</SMTP_Email_Address>",
      "</MessageAccount>",
  });
  return file;
}

// What a run leaves behind: the account files by name and content, and the
// default account value.
struct WindowsMailState {
  std::vector<std::pair<std::string, std::string>> files;
  std::string default_account;
};

std::vector<std::pair<std::string, std::string>> AccountFiles(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.emplace_back(entry.path().filename().string(), ReadHostFile(entry.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The default account value of a machine folder, read through the program's
// own machine backend.
std::string DefaultAccountOf(const fs::path& machine) {
  SystemOpenResult opened = testing::OpenMachine(machine);
  if (!opened.services) {
    ADD_FAILURE() << opened.error;
    return "";
  }
  return ReadText(opened.services->platform().registry, RegRoot::CurrentUser, "Software\\Microsoft\\IAM",
                  RegAccess::Read, "Default Mail Account", 1000)
      .value_or("<missing>");
}

// A machine with Windows Mail installed and its store root in the user's
// profile, as Windows Vista sets it up.
void WriteMachine(const fs::path& machine) {
  fs::create_directories(testing::JaneFolder(machine) / kStoreFolder);
  testing::WriteMachineFolder(
      machine,
      "[Software\\\\Clients\\\\Mail\\\\Windows Mail] 1700000000\n"
      "@=\"Windows Mail\"\n"
      "\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
      "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n",
      "[Software\\\\Microsoft\\\\Windows Mail] 1700000000\n"
      "\"Store Root\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Local\\\\Microsoft\\\\Windows Mail\\\\\"\n"
      "\n"
      "[Volatile Environment] 1700000000\n"
      "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n"
      "\"USERPROFILE\"=\"C:\\\\users\\\\jane\"\n");
}

class WindowsMailE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine = root / "machine";
    WriteMachine(machine);
  }

  fs::path StoreFolder() const { return testing::JaneFolder(machine) / kStoreFolder; }
  fs::path LogFile() const {
    return testing::JaneFolder(machine) / "AppData" / "Roaming" / "Quillbank.log";
  }

  const std::vector<std::string> kArgs{"-n", "Jane & Co", "-a", "jane&co@tessaline.net", "-c", "2", "-d"};
  const testing::TemporaryFolder root{"winmail-e2e"};
  fs::path machine;
};

TEST_F(WindowsMailE2eTest, CreatesTheAccountFileMakesItDefaultAndFindsItAgain) {
  const ProgramRun created = RunProgram(kArgs, machine);
  ASSERT_EQ(created.exit_code, 0) << created.out;
  const auto files = AccountFiles(StoreFolder());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0].first, std::regex(R"(account\{[0-9a-f-]{36}\}\.oeaccount)")))
      << files[0].first;
  EXPECT_EQ(files[0].second, ExpectedAccountFile());
  EXPECT_EQ(DefaultAccountOf(machine), files[0].first);

  std::vector<std::string> lines = MaskedLines(ReadHostFile(LogFile()));
  const std::string folder = "C:\\users\\jane\\AppData\\Local\\Microsoft\\Windows Mail\\Local Folders";
  const std::vector<std::string> expected{
      "Client Selected to Configure: Microsoft Windows Mail",
      "",
      "Searching for existant jane&co@tessaline.net account ... " + folder + "\\account*",
      "not found. Creating new account.",
      "",
      "Starting Windows Mail configuration...",
      "",
      "The following settings were written/overwritten in Windows Mail's configuration:",
      "",
      "Account Name: jane&co@tessaline.net",
      "Connection Type: 00000003",
      "POP3 Server: secure.tessaline.net",
      "POP3 User Name: jane&co@tessaline.net",
      "POP3 Use Sicily: 00000000",
      "POP3 Port: 000003e3",
      "POP3 Secure Connection: 00000001",
      "POP3 Timeout: 0000003c",
      "Leave Mail On Server: 00000000",
      "SMTP Server: secure.tessaline.net",
      "SMTP Use Sicily: 00000002",
      "SMTP Port: 000001d1",
      "SMTP Secure Connection: 00000001",
      "SMTP Timeout: 0000003c",
      "SMTP Display Name: Jane & Co",
      "SMTP Email Address: jane&co@tessaline.net",
      "Email Client Configuration Successful!",
      "",
      "* Configuration Complete at <time> *",
      "",
  };
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - expected.size(), lines.end()), expected);

  // Found again: without overwrite nothing changes; with it the same file is
  // rewritten with the same content.
  const std::string user_hive = ReadHostFile(machine / "user.reg");
  const ProgramRun again = RunProgram(kArgs, machine);
  EXPECT_EQ(again.exit_code, 5) << again.out;
  EXPECT_EQ(AccountFiles(StoreFolder()), files);
  EXPECT_EQ(ReadHostFile(machine / "user.reg"), user_hive);
  std::vector<std::string> with_overwrite = kArgs;
  with_overwrite.push_back("-u");
  const ProgramRun rewritten = RunProgram(with_overwrite, machine);
  EXPECT_EQ(rewritten.exit_code, 0) << rewritten.out;
  EXPECT_EQ(AccountFiles(StoreFolder()), files);
  lines = MaskedLines(ReadHostFile(LogFile()));
  EXPECT_NE(std::find(lines.begin(), lines.end(), " found existant at: " + folder + "\\account{<guid>}.oeaccount"),
            lines.end());
}

TEST_F(WindowsMailE2eTest, WithoutAStoreRootTheRunFailsAndWritesNothing) {
  testing::WriteHostFile(machine / "user.reg",
                         std::string(testing::kUserHiveHeader) + "\n" + testing::kJaneAppData +
                             "\"USERPROFILE\"=\"C:\\\\users\\\\jane\"\n");
  const std::string user_hive = ReadHostFile(machine / "user.reg");
  const ProgramRun outcome = RunProgram(kArgs, machine);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.out;
  EXPECT_TRUE(AccountFiles(StoreFolder()).empty());
  EXPECT_EQ(ReadHostFile(machine / "user.reg"), user_hive);
  const std::vector<std::string> lines = MaskedLines(ReadHostFile(LogFile()));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{
                "Windows Mail store root not found (\"Store Root\" of "
                "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail). No changes will be made.",
                "Email Client Configuration failed with error code: 1",
                "Description: ERROR: Unable to automatically configure",
                "* Configuration Failed at <time> *",
                "",
            }));
}


TEST_F(WindowsMailE2eTest, NativeAndWindowsBuildsLeaveTheSameAccountFile) {
  if (!e2e::WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  const fs::path windows_program = e2e::WindowsProgram();
  if (windows_program.empty()) GTEST_SKIP() << "the win64 build of the program is missing";

  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  fs::create_directories(user / kStoreFolder);
  // The store root without its closing backslash, which a Windows command
  // line cannot pass before a quote; the program supplies it on both sides.
  const std::string store_root = "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"add", "HKCU\\Software\\Microsoft\\Windows Mail", "/v", "Store Root", "/t",
                                 "REG_EXPAND_SZ", "/d", store_root, "/f"},
        std::vector<std::string>{"add", "HKLM\\SOFTWARE\\Clients\\Mail\\Windows Mail", "/ve", "/d",
                                 "Windows Mail", "/f"}}) {
    const e2e::ProgramRun added = e2e::RunWindowsProgram(prefix.path(), "reg", args);
    ASSERT_EQ(added.exit_code, 0) << added.err;
  }
  std::string hive = ReadHostFile(machine / "user.reg");
  const std::string with_backslash = "Windows Mail\\\\\"\n";
  ASSERT_NE(hive.find(with_backslash), std::string::npos);
  hive.replace(hive.find(with_backslash), with_backslash.size(), "Windows Mail\"\n");
  testing::WriteHostFile(machine / "user.reg", hive);

  const std::regex guid(R"([0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12})");
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "rewrite" : "creation");
    std::vector<std::string> args = kArgs;
    if (overwrite) args.push_back("-u");
    const ProgramRun native = RunProgram(args, machine);
    EXPECT_EQ(native.exit_code, 0) << native.out << native.err;
    const e2e::ProgramRun windows = e2e::RunWindowsProgram(prefix.path(), windows_program.string(), args);
    EXPECT_EQ(windows.exit_code, 0) << windows.out << windows.err;

    const auto native_files = AccountFiles(StoreFolder());
    const auto windows_files = AccountFiles(user / kStoreFolder);
    ASSERT_EQ(native_files.size(), 1u);
    ASSERT_EQ(windows_files.size(), 1u);
    EXPECT_EQ(native_files[0].second, ExpectedAccountFile());
    EXPECT_EQ(windows_files[0].second, native_files[0].second);
    EXPECT_EQ(std::regex_replace(windows_files[0].first, guid, "<guid>"),
              std::regex_replace(native_files[0].first, guid, "<guid>"));

    EXPECT_EQ(DefaultAccountOf(machine), native_files[0].first);
    const e2e::ProgramRun query = e2e::RunWindowsProgram(
        prefix.path(), "reg", {"query", "HKCU\\Software\\Microsoft\\IAM", "/v", "Default Mail Account"});
    EXPECT_NE(query.out.find(windows_files[0].first), std::string::npos) << query.out;
  }
}

}  // namespace
}  // namespace quillbank
