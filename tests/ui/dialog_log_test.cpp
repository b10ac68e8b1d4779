// Whole logs of dialog runs with the real configurators, line by line.
#include <gtest/gtest.h>

#include "tests/support/mail_clients.h"
#include "app/client_configurators.h"
#include "env/client_detection.h"
#include "env/client_launch.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_data.h"
#include "ui/config_dlg.h"
#include "tests/support/headless_dialog.h"

namespace quillbank {
namespace {

using namespace config_ids;
using testing::FakePlatform;
using testing::LinesOf;

constexpr const char* kAppData = "C:\\Users\\jane\\AppData\\Roaming";
constexpr const char* kLogFile = "C:\\Users\\jane\\AppData\\Roaming\\Quillbank.log";
constexpr const char* kPrefs =
    "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\Profiles\\abcd1234.default\\prefs.js";

class DialogLogTest : public ::testing::Test {
 protected:
  DialogLogTest() {
    machine.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", kAppData);
    machine.files.Put(std::string(kAppData) + "\\Thunderbird\\profiles.ini",
                      testing::ReadTestData("thunderbird/profiles.ini"));
    machine.files.Put(kPrefs, testing::ReadTestData("thunderbird/prefs_one_account.js"));
    machine.CreateKey(RegRoot::LocalMachine, ClientMailKey(MailClient::Thunderbird));
    machine.CreateKey(RegRoot::LocalMachine, ClientMailKey(MailClient::OutlookExpress));
    machine.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "",
                    "\"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe\" -compose \"%1\"");
    machine.SetText(RegRoot::LocalMachine, AppPathsKey(MailClient::Thunderbird), "",
                    "%ProgramFiles%\\Mozilla Thunderbird\\thunderbird.exe");
    machine.environment.Set("ProgramFiles", "C:\\Program Files");
  }

  HeadlessDialog& Open() {
    dialog = std::make_unique<ConfigDlg>(machine.platform, MachineClients(), *factory, framework, state);
    window = std::make_unique<HeadlessDialog>(MachineDialogTemplate(), *dialog);
    window->Open();
    return *window;
  }
  std::vector<std::string> LogLines() { return LinesOf(machine.files.ReadFile(kLogFile).value_or("")); }

  FakePlatform machine;
  std::unique_ptr<ConfiguratorFactory> factory = MakeClientConfiguratorFactory(machine.platform, MachineClients());
  HeadlessFramework framework;
  RunState state;
  std::unique_ptr<ConfigDlg> dialog;
  std::unique_ptr<HeadlessDialog> window;
};

// The log up to the request: Thunderbird, the default, and Outlook Express
// are installed.
std::vector<std::string> Start() {
  return LinesOf(testing::ReadTestData("logs/banner_dialog.log") +
                 testing::DetectionLog({"found.", "not detected.", "found.", "not detected.", "not detected."}) +
                 "Detecting default email client ... found. (Mozilla Thunderbird)\r\n\r\n");
}

TEST_F(DialogLogTest, ClosedBeforeConfigure) {
  HeadlessDialog& user = Open();
  user.Type(kDisplayName, "Jane Doe");
  user.Click(kAbout);
  user.PressEscape();
  std::vector<std::string> expected = Start();
  expected.insert(expected.end(),
                  {"* Configuration Incomplete. Terminated by user at 14:03:22 on 12/08/09 *", ""});
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(DialogLogTest, ASuccessfulRunAndTheLaunchOnClose) {
  HeadlessDialog& user = Open();
  user.Type(kDisplayName, "Jane Doe");
  user.Type(kAddress, "jane@example.com");
  user.Click(kMakeDefault);
  ASSERT_TRUE(user.PressEnter());  // Configure
  EXPECT_EQ(user.Text(kIntro),
            "Congratulations! Mozilla Thunderbird has been successfully configured for your mail "
            "settings.");
  ASSERT_TRUE(user.PressEnter());  // Close, with the launch box left ticked
  EXPECT_EQ(machine.processes.started,
            (std::vector<std::string>{"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe"}));

  std::vector<std::string> expected = Start();
  expected.insert(expected.end(), {
      "User Entered Email Address: jane@example.com",
      "User Entered Display Name: Jane Doe",
      "Make Account Default: Yes",
      "Overwrite Existing Account: Yes",
      "Client Selected to Configure: Mozilla Thunderbird",
      "",
      "Starting Thunderbird configuration...",
      "",
      "Thunderbird profile in use: C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\Profiles\\"
      "abcd1234.default (named default)",
      "Searching for existant jane@example.com account ... not found. Creating new account.",
      "",
      "The following lines were written/overwritten in the Thunderbird configuration file:",
      "",
  });
  // The lines written are those of a first run's prefs.js.
  for (const std::string& line : testing::TestDataLines("thunderbird/prefs_first_account.js")) {
    expected.push_back(line);
  }
  expected.insert(expected.end(), {
      "",
      "Email Client Configuration Successful!",
      "",
      "* Configuration Complete at 14:03:22 on 12/08/09 *",
      "",
      "Email client path to start is : C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe",
      "",
  });
  const std::vector<std::string> log = LogLines();
  EXPECT_EQ(log, expected);
}

}  // namespace
}  // namespace quillbank
