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
#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/test_data.h"
#include "tests/support/utf16_lines.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;
using testing::TestDataLines;
using testing::Utf16LeFile;

constexpr const char* kStoreFolder = "AppData/Local/Microsoft/Windows Mail/Local Folders";

// The account file a run for "Jane & Co" <jane&co@tessaline.net> writes
// (Windows Mail keeps it as UTF-16; tests/data holds its text).
std::string ExpectedAccountFile() {
  return Utf16LeFile(TestDataLines("windows_mail/jane_and_co.oeaccount.txt"));
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

// Windows Mail installed and its store root in the user's profile, as
// Windows Vista sets it up.
std::vector<std::string> Registry() {
  return {ReadTestData("registry/windows_mail.reg"), ReadTestData("registry/windows_mail_store.reg")};
}

class WindowsMailE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(StoreFolder()); }

  ProgramRun RunProgram(const std::vector<std::string>& args) const { return machine.Run(args); }
  fs::path StoreFolder() const { return machine.Jane() / kStoreFolder; }

  const std::vector<std::string> kArgs{"-n", "Jane & Co", "-a", "jane&co@tessaline.net", "-c", "2", "-d"};
  const e2e::JaneMachine machine{"winmail-e2e", Registry()};
};

TEST_F(WindowsMailE2eTest, CreatesTheAccountFileMakesItDefaultAndFindsItAgain) {
  const ProgramRun created = RunProgram(kArgs);
  ASSERT_EQ(created.exit_code, 0) << created.out;
  const auto files = AccountFiles(StoreFolder());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0].first, std::regex(R"(account\{[0-9a-f-]{36}\}\.oeaccount)")))
      << files[0].first;
  EXPECT_EQ(files[0].second, ExpectedAccountFile());
  EXPECT_EQ(DefaultAccountOf(machine.path()), files[0].first);

  std::vector<std::string> lines = machine.LogLines();
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
  const std::string user_hive = ReadHostFile(machine.path() / "user.reg");
  const ProgramRun again = RunProgram(kArgs);
  EXPECT_EQ(again.exit_code, 5) << again.out;
  EXPECT_EQ(AccountFiles(StoreFolder()), files);
  EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), user_hive);
  std::vector<std::string> with_overwrite = kArgs;
  with_overwrite.push_back("-u");
  const ProgramRun rewritten = RunProgram(with_overwrite);
  EXPECT_EQ(rewritten.exit_code, 0) << rewritten.out;
  EXPECT_EQ(AccountFiles(StoreFolder()), files);
  EXPECT_TRUE(e2e::Holds(machine.LogLines(), " found existant at: " + folder + "\\account{<guid>}.oeaccount"));
}

TEST_F(WindowsMailE2eTest, WithoutAStoreRootTheRunFailsAndWritesNothing) {
  machine.Seed({ReadTestData("registry/windows_mail.reg")});
  const std::string user_hive = ReadHostFile(machine.path() / "user.reg");
  const ProgramRun outcome = RunProgram(kArgs);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.out;
  EXPECT_TRUE(AccountFiles(StoreFolder()).empty());
  EXPECT_EQ(ReadHostFile(machine.path() / "user.reg"), user_hive);
  const std::vector<std::string> lines = machine.LogLines();
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
  if (const std::string why = e2e::WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  const fs::path windows_program = e2e::WindowsProgram();

  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  fs::create_directories(user / kStoreFolder);
  // Both builds find a store root without its closing backslash and supply it.
  const std::vector<std::string> registry{
      ReadTestData("registry/windows_mail.reg"),
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail]\r\n" +
          e2e::ExpandableTextValue("Store Root", "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail")};
  const e2e::ProgramRun imported = e2e::ImportRegistry(prefix, registry);
  ASSERT_EQ(imported.exit_code, 0) << imported.err;
  machine.Seed(registry);

  const std::regex guid(R"([0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12})");
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "rewrite" : "creation");
    std::vector<std::string> args = kArgs;
    if (overwrite) args.push_back("-u");
    const ProgramRun native = RunProgram(args);
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

    EXPECT_EQ(DefaultAccountOf(machine.path()), native_files[0].first);
    const e2e::ProgramRun query = e2e::RunWindowsProgram(
        prefix.path(), "reg", {"query", "HKCU\\Software\\Microsoft\\IAM", "/v", "Default Mail Account"});
    EXPECT_NE(query.out.find(windows_files[0].first), std::string::npos) << query.out;
  }
}

}  // namespace
}  // namespace quillbank
