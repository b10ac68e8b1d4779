// Finding and starting the configured client's program when the dialog closes.
#include <gtest/gtest.h>

#include "tests/support/mail_clients.h"
#include "env/client_launch.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::FakePlatform;

class ClientLaunchTest : public ::testing::Test {
 protected:
  void SetPath(MailClient client, const std::string& path) {
    machine.SetText(RegRoot::LocalMachine, AppPathsKey(client), "", path);
  }
  ClientProgram Find(MailClient client) {
    return FindClientProgram(machine.registry, machine.environment, Client(client));
  }

  FakePlatform machine;
};

TEST_F(ClientLaunchTest, EachClientHasItsAppPathsKey) {
  const std::string base = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  EXPECT_EQ(AppPathsKey(MailClient::OutlookExpress), base + "msimn.exe\\");
  EXPECT_EQ(AppPathsKey(MailClient::Outlook), base + "OUTLOOK.EXE\\");
  EXPECT_EQ(AppPathsKey(MailClient::WindowsMail), base + "WinMail.exe\\");
  EXPECT_EQ(AppPathsKey(MailClient::Eudora), base + "Eudora.exe\\");
  EXPECT_EQ(AppPathsKey(MailClient::Thunderbird), base + "thunderbird.exe\\");
}

TEST_F(ClientLaunchTest, ThePlaceholdersAreExpandedOnceEach) {
  machine.environment.Set("ProgramFiles", "C:\\Program Files");
  machine.environment.Set("ProgramFiles(x86)", "C:\\Program Files (x86)");
  struct Case {
    const char* stored;
    const char* started;
  };
  const Case cases[] = {
      {"%ProgramFiles%\\Windows Mail\\WinMail.exe", "C:\\Program Files\\Windows Mail\\WinMail.exe"},
      {"%ProgramFiles(x86)%\\a.exe %ProgramFiles%\\b", "C:\\Program Files (x86)\\a.exe C:\\Program Files\\b"},
      {"%ProgramFiles%\\a %ProgramFiles%\\b", "C:\\Program Files\\a %ProgramFiles%\\b"},
      // Other placeholders are passed on as they are; spaces are not quoted.
      {"%SystemRoot%\\x.exe", "%SystemRoot%\\x.exe"},
      {"C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe", "C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe"},
  };
  for (const Case& c : cases) {
    SetPath(MailClient::WindowsMail, c.stored);
    const ClientProgram program = Find(MailClient::WindowsMail);
    EXPECT_TRUE(program.found) << c.stored;
    EXPECT_EQ(program.path, c.started) << c.stored;
  }
}

TEST_F(ClientLaunchTest, NothingIsStartedFromAPathThatIsNotWhole) {
  const std::string key = "HKEY_LOCAL_MACHINE\\" + AppPathsKey(MailClient::Thunderbird);
  EXPECT_EQ(Find(MailClient::Thunderbird).reason, "there is no key " + key);

  machine.SetText(RegRoot::LocalMachine, AppPathsKey(MailClient::Thunderbird), "Path", "C:\\x");
  EXPECT_EQ(Find(MailClient::Thunderbird).reason, key + " has no program path");
  SetPath(MailClient::Thunderbird, "");
  EXPECT_EQ(Find(MailClient::Thunderbird).reason, key + " has no program path");
  machine.SetDword(RegRoot::LocalMachine, AppPathsKey(MailClient::Thunderbird), "", 1);
  EXPECT_FALSE(Find(MailClient::Thunderbird).found);

  // 299 characters and the terminator fit the 300-byte buffer; one more does not.
  SetPath(MailClient::Thunderbird, std::string(299, 'a'));
  EXPECT_TRUE(Find(MailClient::Thunderbird).found);
  SetPath(MailClient::Thunderbird, std::string(300, 'a'));
  EXPECT_EQ(Find(MailClient::Thunderbird).reason, "its program path is 300 bytes or longer");
  {
    // A text of exactly 300 bytes without its terminator fills the buffer.
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(machine.registry.Open(RegRoot::LocalMachine, AppPathsKey(MailClient::Thunderbird),
                                    RegAccess::All, key),
              win32_error::kSuccess);
    key->SetValue("", reg_type::kSz, std::vector<std::uint8_t>(300, 'a'));
  }
  EXPECT_EQ(Find(MailClient::Thunderbird).reason, "its program path is 300 bytes or longer");

  // A placeholder without its variable would start some other path.
  SetPath(MailClient::Thunderbird, "%ProgramFiles%\\Mozilla Thunderbird\\thunderbird.exe");
  EXPECT_EQ(Find(MailClient::Thunderbird).reason,
            "the environment variable ProgramFiles is not set");
  machine.environment.Set("ProgramFiles", "C:\\Program Files");
  SetPath(MailClient::Thunderbird, "%ProgramFiles(x86)%\\thunderbird.exe");
  EXPECT_EQ(Find(MailClient::Thunderbird).reason,
            "the environment variable ProgramFiles(x86) is not set");
}

TEST_F(ClientLaunchTest, TheLogSaysWhatIsStartedOrWhyNothingIs) {
  machine.environment.Set("ProgramFiles", "C:\\Program Files");
  SetPath(MailClient::Eudora, "%ProgramFiles%\\Qualcomm\\Eudora\\Eudora.exe");
  {
    CapturedLog log;
    LaunchClient(machine.platform, Client(MailClient::Eudora), log.log());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Email client path to start is : C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe",
                               ""}));
    EXPECT_EQ(machine.processes.started,
              (std::vector<std::string>{"C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe"}));
  }
  {
    machine.processes.start_succeeds = false;
    CapturedLog log;
    LaunchClient(machine.platform, Client(MailClient::Eudora), log.log());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Email client path to start is : C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe",
                               "", "Email client could not be started.", ""}));
  }
  {
    CapturedLog log;
    LaunchClient(machine.platform, Client(MailClient::Outlook), log.log());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Email client not started: there is no key HKEY_LOCAL_MACHINE\\" +
                                   AppPathsKey(MailClient::Outlook) + ".",
                               ""}));
  }
  EXPECT_EQ(machine.processes.started.size(), 2u);
}

TEST_F(ClientLaunchTest, AnExistingProgramIsStartedExactlyEvenWithBlanksInItsPath) {
  const std::string eudora = "C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe";
  machine.files.Put(eudora, "MZ");
  machine.files.Put("C:\\Program.exe", "MZ");  // would win an unquoted search
  EXPECT_EQ(LaunchCommandLine(machine.files, eudora), "\"" + eudora + "\"");
  // Values that are not one existing file keep the system's own reading.
  for (const std::string& kept : {std::string("C:\\Windows\\winmail.exe"),
                                 "\"" + eudora + "\"", eudora + " /nosplash",
                                 std::string("C:\\Missing Folder\\x.exe")}) {
    EXPECT_EQ(LaunchCommandLine(machine.files, kept), kept);
  }

  SetPath(MailClient::Eudora, eudora);
  CapturedLog log;
  LaunchClient(machine.platform, Client(MailClient::Eudora), log.log());
  EXPECT_EQ(machine.processes.started, (std::vector<std::string>{"\"" + eudora + "\""}));
  EXPECT_EQ(log.Lines()[0], "Email client path to start is : " + eudora);
}

}  // namespace
}  // namespace quillbank
