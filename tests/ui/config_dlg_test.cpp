// The main dialog driven as a user would: typing, clicking, Enter, Escape and
// the close box on the headless host, with what the user sees and the log
// checked afterwards.
#include <gtest/gtest.h>

#include <memory>

#include "core/input_safety.h"
#include "tests/support/mail_clients.h"
#include "session/configurator_factory.h"
#include "env/client_detection.h"
#include "env/client_launch.h"
#include "tests/support/fake_configurators.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_data.h"
#include "ui/config_dlg.h"
#include "tests/support/headless_dialog.h"

namespace quillbank {
namespace {

using namespace config_ids;
using testing::DetectionLog;
using testing::FakeFactory;
using testing::FakePlatform;
using testing::LinesOf;
using testing::ReadTestData;

constexpr const char* kAppData = "C:\\users\\jane\\AppData\\Roaming";
constexpr const char* kLogFile = "C:\\users\\jane\\AppData\\Roaming\\Quillbank.log";
constexpr const char* kRefusal = "Please exit all running email clients, and then restart Quillbank.";

class ConfigDlgTest : public ::testing::Test {
 protected:
  ConfigDlgTest() {
    machine.MakeAppData(kAppData);
  }

  void Install(MailClient client) { machine.CreateKey(RegRoot::LocalMachine, ClientMailKey(client)); }
  void MakeDefault(const std::string& mail_command) {
    machine.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "", mail_command);
  }
  void SetAppPath(MailClient client, const std::string& path) {
    machine.SetText(RegRoot::LocalMachine, AppPathsKey(client), "", path);
  }

  // Opens the dialog as the framework would; the test is the user from here.
  HeadlessDialog& Open(ConfiguratorFactory& with) {
    dialog = std::make_unique<ConfigDlg>(machine.platform, MachineClients(), with, framework, state);
    window = std::make_unique<HeadlessDialog>(MachineDialogTemplate(), *dialog);
    window->Open();
    return *window;
  }
  HeadlessDialog& Open() { return Open(factory); }

  // Types a complete request for `client_button`.
  void FillIn(HeadlessDialog& user, int client_button, const std::string& name = "Jane Doe",
              const std::string& address = "jane@example.com") {
    ASSERT_TRUE(user.Type(kDisplayName, name));
    ASSERT_TRUE(user.Type(kAddress, address));
    ASSERT_TRUE(user.Click(client_button));
  }

  std::vector<std::string> LogLines() { return LinesOf(machine.files.ReadFile(kLogFile).value_or("")); }

  static std::vector<std::string> Start(const std::string& thunderbird, const std::string& eudora,
                                        const std::string& express, const std::string& winmail,
                                        const std::string& outlook) {
    return LinesOf(ReadTestData("logs/banner_dialog.log") +
                   DetectionLog({thunderbird, eudora, express, winmail, outlook}));
  }
  static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  FakePlatform machine;
  FakeFactory factory;
  HeadlessFramework framework;
  RunState state;
  std::unique_ptr<ConfigDlg> dialog;
  std::unique_ptr<HeadlessDialog> window;
};

const std::vector<int> kEditingView = {kIntro,     kSelectLabel, kOutlookExpress, kOutlook,
                                       kWindowsMail, kEudora,    kThunderbird,    kAddressLabel,
                                       kMakeDefault, kOverwrite, kConfigure,      kIdCancel,
                                       kNameLabel,   kDisplayName, kAddress,      kDetailsLabel,
                                       kAbout,       kUseSsl};

// ------------------------------------------------------------ the editing view

TEST_F(ConfigDlgTest, OpensWithTheDefaultClientTickedAndConfigureDisabled) {
  Install(MailClient::Thunderbird);
  Install(MailClient::OutlookExpress);
  MakeDefault("\"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe\" -compose \"%1\"");
  HeadlessDialog& user = Open();

  EXPECT_EQ(user.VisibleControls(), kEditingView);
  EXPECT_TRUE(user.Checked(kThunderbird));
  EXPECT_FALSE(user.IsEnabled(kConfigure));
  EXPECT_EQ(user.default_button(), kConfigure);
  EXPECT_TRUE(user.Checked(kOverwrite));
  EXPECT_TRUE(user.Checked(kUseSsl));
  EXPECT_FALSE(user.Checked(kMakeDefault));
  EXPECT_FALSE(user.IsVisible(kLaunch));
  EXPECT_FALSE(user.IsControlEnabled(kLaunch));
  EXPECT_TRUE(user.big_icon() && user.small_icon());
  // Only installed clients can be picked.
  EXPECT_TRUE(user.IsEnabled(kThunderbird));
  EXPECT_TRUE(user.IsEnabled(kOutlookExpress));
  for (int missing : {kOutlook, kWindowsMail, kEudora}) {
    EXPECT_FALSE(user.IsEnabled(missing)) << missing;
    EXPECT_FALSE(user.Click(missing)) << missing;
  }
  // Enter presses the disabled Configure: nothing happens.
  EXPECT_FALSE(user.PressEnter());
  EXPECT_EQ(factory.record.configure_calls, 0);
  // A preselected button is not yet the field's value.
  EXPECT_EQ(state.client_index, kNoClient);

  // Typing a name and a valid address is enough: the client is preselected.
  ASSERT_TRUE(user.Type(kDisplayName, "Jane Doe"));
  EXPECT_FALSE(user.IsEnabled(kConfigure));
  ASSERT_TRUE(user.Type(kAddress, "jane@example.com"));
  EXPECT_TRUE(user.IsEnabled(kConfigure));
  EXPECT_EQ(state.client_index, static_cast<int>(MailClient::Thunderbird));
}

TEST_F(ConfigDlgTest, ADefaultClientThatIsNotInstalledIsNotPreselected) {
  Install(MailClient::Eudora);
  MakeDefault("C:\\PROGRA~1\\MOZILL~1\\THUNDE~1.EXE -compose %1");
  HeadlessDialog& user = Open();

  EXPECT_FALSE(user.IsEnabled(kThunderbird));
  for (int button : kClientButtons) EXPECT_FALSE(user.Checked(button)) << button;
  user.PressEscape();
  EXPECT_EQ(LogLines(), Join({Start("not detected.", "found.", "not detected.", "not detected.",
                                    "not detected."),
                              {"Detecting default email client ... unrecognized.", "",
                               "* Configuration Incomplete. Terminated by user at 14:03:22 on "
                               "12/08/09 *",
                               ""}}));
}

TEST_F(ConfigDlgTest, ConfigureNeedsANameAValidAddressAndAClient) {
  Install(MailClient::OutlookExpress);
  HeadlessDialog& user = Open();
  struct Case {
    const char* address;
    bool valid;
  };
  const Case cases[] = {
      {"a@b.c", true},         {"a@b.", false},        {"@b.c", false},
      {".@a.b", true},         {"a.b@c", false},       {"ab", false},
      {"a@", false},           {"@a@b.c", true},       // the at sign from position 1 on counts
      {"a@b@c.d", true},       {"jane@example.com", true},
      {"a@.b", true},          {"", false},
  };
  ASSERT_TRUE(user.Type(kDisplayName, "Jane"));
  ASSERT_TRUE(user.Click(kOutlookExpress));
  for (const Case& c : cases) {
    user.Type(kAddress, c.address);
    EXPECT_EQ(user.IsEnabled(kConfigure), c.valid) << '"' << c.address << '"';
    EXPECT_EQ(IsValidAddress(c.address), c.valid) << '"' << c.address << '"';
  }

  // Only an empty name is incomplete: one blank will do.
  user.Type(kAddress, "jane@example.com");
  user.Type(kDisplayName, "");
  EXPECT_FALSE(user.IsEnabled(kConfigure));
  user.Type(kDisplayName, " ");
  EXPECT_TRUE(user.IsEnabled(kConfigure));
}

TEST_F(ConfigDlgTest, ConfigureWaitsForAClientWhenThereIsNoDefault) {
  Install(MailClient::OutlookExpress);
  HeadlessDialog& user = Open();
  user.Type(kDisplayName, "Jane");
  user.Type(kAddress, "jane@example.com");
  EXPECT_FALSE(user.IsEnabled(kConfigure));
  user.Click(kOutlookExpress);
  EXPECT_TRUE(user.IsEnabled(kConfigure));
}

TEST_F(ConfigDlgTest, EudoraDisablesMakeDefaultButKeepsItsTick) {
  Install(MailClient::Eudora);
  Install(MailClient::Thunderbird);
  HeadlessDialog& user = Open();
  FillIn(user, kThunderbird);
  ASSERT_TRUE(user.Click(kMakeDefault));
  ASSERT_TRUE(user.Click(kEudora));
  EXPECT_FALSE(user.IsEnabled(kMakeDefault));
  EXPECT_TRUE(user.Checked(kMakeDefault));
  EXPECT_FALSE(user.Click(kMakeDefault));  // cannot be cleared now
  ASSERT_TRUE(user.Click(kThunderbird));
  EXPECT_TRUE(user.IsEnabled(kMakeDefault));
  ASSERT_TRUE(user.Click(kEudora));

  ASSERT_TRUE(user.PressEnter());  // Configure is the default button
  // The tick still reaches the request and the log.
  ASSERT_EQ(factory.record.requests.size(), 1u);
  EXPECT_EQ(factory.record.requests[0], "jane@example.com|Jane Doe|1|1|1");
  EXPECT_EQ(factory.created_client, static_cast<int>(MailClient::Eudora));
  const std::vector<std::string> log = LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "Make Account Default: Yes"), log.end());
}

TEST_F(ConfigDlgTest, TheOptionsReachTheRequestAsTheUserLeftThem) {
  Install(MailClient::OutlookExpress);
  HeadlessDialog& user = Open();
  FillIn(user, kOutlookExpress, "Jane Doe", "jane@example.com");
  user.Click(kOverwrite);
  user.Click(kUseSsl);
  user.Click(kMakeDefault);
  user.Click(kConfigure);
  ASSERT_EQ(factory.record.requests.size(), 1u);
  EXPECT_EQ(factory.record.requests[0], "jane@example.com|Jane Doe|1|0|0");
}

// ------------------------------------------------------------ refusal

TEST_F(ConfigDlgTest, ARunningClientLeavesOnlyTheRefusalAndClose) {
  Install(MailClient::Thunderbird);
  MakeDefault("thunderbird.exe");
  machine.processes.running = {{40, "thunderbird.exe"}};
  HeadlessDialog& user = Open();

  EXPECT_EQ(user.VisibleControls(), (std::vector<int>{kIntro, kIdCancel}));
  EXPECT_EQ(user.Text(kIntro), kRefusal);
  EXPECT_EQ(user.Text(kIdCancel), "Close");
  EXPECT_FALSE(user.IsVisible(kLaunch));
  EXPECT_TRUE(machine.processes.terminated.empty());

  ASSERT_TRUE(user.PressEnter());  // Enter closes
  EXPECT_TRUE(user.ended());
  EXPECT_EQ(user.result(), kCancelResult);
  EXPECT_EQ(state.exit_code, exit_code::kClientRunning);
  const std::vector<std::string> refused_log = LogLines();
  // Escape and the close box close it the same way, and add nothing either.
  for (const bool escape : {true, false}) {
    RunState again;
    ConfigDlg refused(machine.platform, MachineClients(), factory, framework, again);
    HeadlessDialog window_again(MachineDialogTemplate(), refused);
    machine.files.DeleteFile(kLogFile);
    window_again.Open();
    ASSERT_TRUE(escape ? window_again.PressEscape() : window_again.CloseBox());
    EXPECT_TRUE(window_again.ended());
    EXPECT_EQ(LogLines(), refused_log);
  }
  // The refusal closed the log; closing the dialog adds nothing.
  EXPECT_EQ(LogLines(), Join({Start("found.", "not detected.", "not detected.", "not detected.",
                                    "not detected."),
                              {"Running Email Client Detected. Closing.", "",
                               "* Configuration Incomplete. Terminated automatically at 14:03:22 "
                               "on 12/08/09 *",
                               ""}}));
}

// ------------------------------------------------------------ closing early

TEST_F(ConfigDlgTest, EveryWayOfClosingBeforeConfigureEndsTheLogTheSameWay) {
  Install(MailClient::Thunderbird);
  MakeDefault("\"C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe\" -compose \"%1\"");
  const std::vector<std::string> expected =
      Join({Start("found.", "not detected.", "not detected.", "not detected.", "not detected."),
            {"Detecting default email client ... found. (Mozilla Thunderbird)", "",
             "* Configuration Incomplete. Terminated by user at 14:03:22 on 12/08/09 *", ""}});
  const std::function<bool(HeadlessDialog&)> ways[] = {
      [](HeadlessDialog& user) { return user.Click(kIdCancel); },
      [](HeadlessDialog& user) { return user.PressEscape(); },
      [](HeadlessDialog& user) { return user.CloseBox(); },
  };
  for (const auto& close : ways) {
    machine.files.DeleteFile(kLogFile);
    HeadlessDialog& user = Open();
    user.Type(kDisplayName, "Jane Doe");  // typed but never configured
    ASSERT_TRUE(close(user));
    EXPECT_TRUE(user.ended());
    EXPECT_EQ(user.result(), kCancelResult);
    EXPECT_EQ(LogLines(), expected);
    EXPECT_FALSE(user.Type(kAddress, "late@example.com"));  // the window is gone
  }
  EXPECT_EQ(factory.record.configure_calls, 0);
  EXPECT_TRUE(machine.processes.started.empty());
}

// ------------------------------------------------------------ result view

TEST_F(ConfigDlgTest, AFailedRunShowsItsMessageAndCloseAddsNothing) {
  Install(MailClient::OutlookExpress);
  factory.status = 1;
  HeadlessDialog& user = Open();
  FillIn(user, kOutlookExpress);
  ASSERT_TRUE(user.Click(kConfigure));

  EXPECT_EQ(user.VisibleControls(), (std::vector<int>{kIntro, kIdCancel}));
  EXPECT_EQ(user.Text(kIntro), "ERROR: Unable to automatically configure");
  EXPECT_EQ(user.default_button(), kIdCancel);
  EXPECT_FALSE(user.IsControlEnabled(kConfigure));
  const std::vector<std::string> after_run = LogLines();
  ASSERT_TRUE(user.PressEnter());
  EXPECT_TRUE(user.ended());
  EXPECT_EQ(LogLines(), after_run);
  EXPECT_TRUE(machine.processes.started.empty());
  EXPECT_EQ(state.exit_code, 1);
}

TEST_F(ConfigDlgTest, TheMachineIsAskedForOnlyWhenConfigureIsPressed) {
  Install(MailClient::OutlookExpress);
  machine.run_lock.grants = false;  // another run holds the machine
  HeadlessDialog& user = Open();
  FillIn(user, kOutlookExpress);
  EXPECT_EQ(machine.run_lock.waited_ms, 0u);  // not while the user types
  ASSERT_TRUE(user.Click(kConfigure));

  EXPECT_EQ(machine.run_lock.waited_ms, 10000u);
  EXPECT_EQ(user.VisibleControls(), (std::vector<int>{kIntro, kIdCancel}));
  EXPECT_EQ(user.Text(kIntro), "Another Quillbank run is changing this machine; try again.");
  EXPECT_EQ(factory.record.configure_calls, 0);
  EXPECT_EQ(state.exit_code, 21);
}

TEST_F(ConfigDlgTest, ASuccessOffersTheLaunchAndCloseStartsTheClient) {
  Install(MailClient::WindowsMail);
  MakeDefault("\"%ProgramFiles%\\Windows Mail\\WinMail.exe\" /mailurl:%1");
  SetAppPath(MailClient::WindowsMail, "%ProgramFiles%\\Windows Mail\\WinMail.exe");
  machine.environment.Set("ProgramFiles", "C:\\Program Files");
  HeadlessDialog& user = Open();
  user.Type(kDisplayName, "Jane Doe");
  user.Type(kAddress, "jane@example.com");
  ASSERT_TRUE(user.PressEnter());

  EXPECT_EQ(user.VisibleControls(), (std::vector<int>{kIntro, kIdCancel, kLaunch}));
  EXPECT_EQ(user.Text(kIntro),
            "Congratulations! Microsoft Windows Mail has been successfully configured for your "
            "mail settings.");
  EXPECT_TRUE(user.Checked(kLaunch));
  EXPECT_TRUE(user.IsEnabled(kLaunch));
  EXPECT_EQ(user.Text(kIdCancel), "Close");
  EXPECT_FALSE(user.IsVisible(kAbout));
  EXPECT_TRUE(machine.processes.started.empty());

  ASSERT_TRUE(user.Click(kIdCancel));
  EXPECT_TRUE(user.ended());
  EXPECT_EQ(machine.processes.started,
            (std::vector<std::string>{"C:\\Program Files\\Windows Mail\\WinMail.exe"}));
  const std::vector<std::string> log = LogLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2],
            "Email client path to start is : C:\\Program Files\\Windows Mail\\WinMail.exe");
  EXPECT_EQ(log.back(), "");
  EXPECT_EQ(state.exit_code, 0);
}

TEST_F(ConfigDlgTest, ClearingTheLaunchBoxStartsNothingAndLogsNothing) {
  Install(MailClient::Thunderbird);
  SetAppPath(MailClient::Thunderbird, "C:\\Program Files\\Mozilla Thunderbird\\thunderbird.exe");
  HeadlessDialog& user = Open();
  FillIn(user, kThunderbird);
  ASSERT_TRUE(user.Click(kConfigure));
  const std::vector<std::string> after_run = LogLines();
  ASSERT_TRUE(user.Click(kLaunch));
  EXPECT_FALSE(user.Checked(kLaunch));
  ASSERT_TRUE(user.PressEnter());
  EXPECT_TRUE(user.ended());
  EXPECT_TRUE(machine.processes.started.empty());
  EXPECT_EQ(LogLines(), after_run);
}

TEST_F(ConfigDlgTest, ALaunchThatCannotHappenIsExplainedInTheLog) {
  Install(MailClient::Thunderbird);
  HeadlessDialog& user = Open();
  FillIn(user, kThunderbird);
  ASSERT_TRUE(user.Click(kConfigure));
  ASSERT_TRUE(user.CloseBox());
  EXPECT_TRUE(user.ended());
  EXPECT_TRUE(machine.processes.started.empty());
  const std::vector<std::string> log = LogLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2],
            "Email client not started: there is no key HKEY_LOCAL_MACHINE\\" +
                AppPathsKey(MailClient::Thunderbird) + ".");
}

TEST_F(ConfigDlgTest, WithoutALogFolderTheClientIsStillStarted) {
  machine.registry.Find(RegRoot::CurrentUser, "Volatile Environment")->values.clear();
  Install(MailClient::Thunderbird);
  SetAppPath(MailClient::Thunderbird, "C:\\Mozilla\\thunderbird.exe");
  HeadlessDialog& user = Open();
  FillIn(user, kThunderbird);
  ASSERT_TRUE(user.Click(kConfigure));
  EXPECT_TRUE(user.IsVisible(kLaunch));
  ASSERT_TRUE(user.PressEnter());
  EXPECT_EQ(machine.processes.started, (std::vector<std::string>{"C:\\Mozilla\\thunderbird.exe"}));
  EXPECT_TRUE(machine.files.AllFiles().empty());
}

// ------------------------------------------------------------ About box

TEST_F(ConfigDlgTest, TheAboutBoxShowsFixedTextsWhateverTheChoices) {
  Install(MailClient::OutlookExpress);
  std::vector<std::vector<std::string>> seen;
  framework.WhenShown(about_ids::kTemplate, [&](HeadlessDialog& about) {
    using namespace about_ids;
    seen.push_back({about.Text(kImapPort), about.Text(kSmtpPort), about.Text(kIncomingServer),
                    about.Text(kOutgoingServer), about.Text(kUserName)});
    EXPECT_TRUE(about.big_icon());
    EXPECT_EQ(about.dialog_template().caption, "About Quillbank");
    ASSERT_TRUE(about.PressEscape());
    EXPECT_TRUE(about.ended());
  });
  HeadlessDialog& user = Open();
  const std::vector<std::string> before_about = LogLines();
  ASSERT_TRUE(user.Click(kAbout));
  ASSERT_TRUE(user.Click(kUseSsl));  // SSL off
  ASSERT_TRUE(user.Click(kAbout));

  const std::vector<std::string> expected = {"IMAP Port: 110", "SMTP Port: 587",
                                             "pop.tessaline.net", "smtp.tessaline.net",
                                             "IMAP Username:"};
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], expected);
  EXPECT_EQ(seen[1], expected);
  EXPECT_EQ(framework.shown(), (std::vector<int>{about_ids::kTemplate, about_ids::kTemplate}));
  // The main dialog goes on as it was; the About box logs nothing.
  EXPECT_FALSE(user.ended());
  EXPECT_EQ(user.VisibleControls(), kEditingView);
  EXPECT_EQ(LogLines(), before_about);
}

TEST_F(ConfigDlgTest, TheAboutBoxClosesWithItsCloseButton) {
  int result = 0;
  framework.WhenShown(about_ids::kTemplate, [&](HeadlessDialog& about) {
    EXPECT_EQ(about.Text(kIdCancel), "Close");
    ASSERT_TRUE(about.Click(kIdCancel));
    result = about.result();
  });
  HeadlessDialog& user = Open();
  ASSERT_TRUE(user.Click(kAbout));
  EXPECT_EQ(result, kCancelResult);
}

}  // namespace
}  // namespace quillbank
