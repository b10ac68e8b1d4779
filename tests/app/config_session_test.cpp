#include <gtest/gtest.h>

#include <algorithm>

#include "session/config_session.h"
#include "env/registry_tree_dump.h"
#include "session/status_message.h"
#include "env/client_detection.h"
#include "tests/support/fake_configurators.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

using testing::DetectionLog;
using testing::FakeFactory;
using testing::FakePlatform;
using testing::LinesOf;
using testing::TestDataLines;

constexpr const char* kAppData = "C:\\users\\jane\\AppData\\Roaming";
constexpr const char* kLogFile = "C:\\users\\jane\\AppData\\Roaming\\Quillbank.log";
constexpr const char* kMailKeys = "SOFTWARE\\Clients\\Mail\\";

class ConfigSessionTest : public ::testing::Test {
 protected:
  ConfigSessionTest() {
    machine.MakeAppData(kAppData);
    state.command_line = true;
  }

  void Install(const std::string& client) {
    machine.CreateKey(RegRoot::LocalMachine, std::string(kMailKeys) + client);
  }
  void SetMailCommand(const std::string& command) {
    machine.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "", command);
  }

  // Runs start-up and the run as the command-line modes do.
  void Run() {
    ConfigSession session(machine.platform, MachineClients(), factory, state, nullptr);
    if (session.OnInitDialog()) session.OnConfigure();
  }

  std::vector<std::string> LogLines() {
    return LinesOf(machine.files.ReadFile(kLogFile).value_or(""));
  }

  static std::vector<std::string> Banner() { return TestDataLines("logs/banner_command_line.log"); }
  static std::vector<std::string> NothingDetected() { return TestDataLines("logs/detection_none.log"); }
  static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  FakePlatform machine;
  FakeFactory factory;
  RunState state;
};

TEST_F(ConfigSessionTest, ClientOutOfRangeLogsTheWholeFailureBlock) {
  state.client_index = 9;
  state.address = "jane@example.com";
  state.display_name = "Jane Doe";
  Run();
  EXPECT_EQ(LogLines(), TestDataLines({"logs/banner_command_line.log", "logs/detection_none.log",
                                        "logs/out_of_range_request.log"}));
  EXPECT_EQ(state.exit_code, exit_code::kNoConfigurator);
  EXPECT_EQ(factory.record.configure_calls, 0);
}

TEST_F(ConfigSessionTest, SuccessfulRunLogsRequestConfiguratorAndCompletion) {
  Install("Mozilla Thunderbird");
  Install("Microsoft Outlook");
  machine.SetText(RegRoot::LocalMachine, std::string(kMailKeys) + "Microsoft Outlook",
                  "MSIApplicationLCID", "C:\\Program Files\\Microsoft\\Office\\11.0\\Outlook");
  state.client_index = 4;
  state.address = "jane@example.com";
  state.display_name = "Jane Doe";
  state.make_default = true;
  Run();
  EXPECT_EQ(LogLines(), Join({Banner(),
                              LinesOf(DetectionLog({"found.", "not detected.", "not detected.",
                                                     "not detected.", "found. (Version 11)"})),
                              {"Detecting default email client ... done.",
                               "",
                               "User Entered Email Address: jane@example.com",
                               "User Entered Display Name: Jane Doe",
                               "Make Account Default: Yes",
                               "Overwrite Existing Account: No",
                               "Client Selected to Configure: Mozilla Thunderbird",
                               "",
                               "Fake configurator ran.",
                               "Email Client Configuration Successful!",
                               "",
                               "* Configuration Complete at 14:03:22 on 12/08/09 *",
                               ""}}));
  EXPECT_TRUE(state.run_succeeded);
  EXPECT_EQ(state.exit_code, 0);
  EXPECT_EQ(factory.created_outlook_version, -1);  // only Outlook reports a version
  EXPECT_EQ(factory.record.requests.at(0), "jane@example.com|Jane Doe|1|0|1");
  EXPECT_EQ(state.outcome_message,
            "Congratulations! Mozilla Thunderbird has been successfully configured for your mail "
            "settings.");
}

TEST_F(ConfigSessionTest, TwoRunsAppendTwoRecords) {
  state.client_index = 9;
  Run();
  RunState second;
  second.command_line = true;
  second.client_index = 9;
  ConfigSession session(machine.platform, MachineClients(), factory, second, nullptr);
  if (session.OnInitDialog()) session.OnConfigure();
  int banners = 0;
  for (const auto& line : LogLines()) banners += line == "Quillbank - Tessaline Log";
  EXPECT_EQ(banners, 2);
}

TEST_F(ConfigSessionTest, ConfiguratorFailureGivesItsMessageAndExitCode) {
  factory.status = 5;
  state.client_index = 0;
  state.address = "a@b.c";
  state.display_name = "A";
  Run();
  const auto lines = LogLines();
  EXPECT_EQ(lines[lines.size() - 4], "Email Client Configuration failed with error code: 5");
  EXPECT_EQ(lines[lines.size() - 3],
            "Description: ERROR: Account was already found, no changes have been made.");
  EXPECT_EQ(state.exit_code, 5);
}

TEST(StatusMessageTest, EveryClientExplainsWritesThatFailedAndRefusedInput) {
  for (const ClientDescriptor* client : AllClients()) {
    EXPECT_EQ(StatusMessage(client, status::kWriteFailed),
              "ERROR: The email client's settings could not be written. No changes have been made.");
    EXPECT_NE(StatusMessage(client, status::kUnsafeInput).find("cannot be used"), std::string::npos);
    EXPECT_FALSE(StatusMessage(client, status::kCannotConfigure).empty()) << client->name;
  }
  EXPECT_EQ(StatusMessage(nullptr, status::kWriteFailed), "");
  EXPECT_EQ(StatusMessage(&Client(MailClient::Thunderbird), status::kAutoAccountExists), "");
}

TEST_F(ConfigSessionTest, ClientWithoutConfiguratorFailsWithStatusOne) {
  factory.has_configurator = false;
  state.client_index = 2;
  state.address = "a@b.c";
  state.display_name = "A";
  Run();
  EXPECT_EQ(state.status, 1);
  EXPECT_EQ(state.outcome_message, "ERROR: Unable to automatically configure");
}

TEST_F(ConfigSessionTest, UnsafeAddressOrNameIsRefusedBeforeTheConfiguratorRuns) {
  for (const auto& [address, name] : std::vector<std::pair<std::string, std::string>>{
           {"a\\b@c.d", "A"}, {"a b@c.d", "A"}, {"a\"b@c.d", "A"}, {"a[b]@c.d", "A"},
           {"<a>@c.d", "A"}, {"a@c.d", "A\tB"}, {"a@c.d\n", "A"}}) {
    FakePlatform fresh;
    fresh.MakeAppData(kAppData);
    FakeFactory fakes;
    RunState run;
    run.command_line = true;
    run.client_index = 4;
    run.address = address;
    run.display_name = name;
    ConfigSession session(fresh.platform, MachineClients(), fakes, run, nullptr);
    ASSERT_TRUE(session.OnInitDialog());
    session.OnConfigure();
    EXPECT_EQ(run.status, 30) << address;
    EXPECT_EQ(run.exit_code, 30);
    EXPECT_EQ(fakes.record.configure_calls, 0);
    const std::string log = fresh.files.ReadFile(kLogFile).value_or("");
    EXPECT_NE(log.find("Description: ERROR: The email address or display name contains "
                       "characters that cannot be used. No changes have been made."),
              std::string::npos);
  }
}

TEST_F(ConfigSessionTest, ARefusedValueIsLoggedEscapedOnItsOwnLine) {
  state.client_index = 4;
  state.address = "a@b.c\r\n* Configuration Complete at 14:03:22 on 12/08/09 *";
  state.display_name = "J\\x0A\x7F\x1B[2J\xE9";
  Run();
  EXPECT_EQ(state.exit_code, 30);
  const auto lines = LogLines();
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("User Entered", 0) == 0;
  });
  ASSERT_LE(first + 2, lines.end());
  const std::vector<std::string> request(first, first + 2);
  EXPECT_EQ(request, (std::vector<std::string>{
                         "User Entered Email Address: a@b.c\\x0D\\x0A* Configuration Complete at "
                         "14:03:22 on 12/08/09 *",
                         "User Entered Display Name: J\\\\x0A\\x7F\\x1B[2J\xE9"}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "* Configuration Complete at 14:03:22 on 12/08/09 *"), 0);
}

TEST_F(ConfigSessionTest, OutlookProfileFailureDumpsTheMessagingSubsystemTree) {
  const std::string base = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem";
  machine.CreateKey(RegRoot::CurrentUser, base + "\\Profiles\\Outlook\\9375CFF0413111d3B88A00104B2A6676");
  machine.CreateKey(RegRoot::CurrentUser, base + "\\Profiles\\Outlook\\0a0d020000000000c000000000000046");
  machine.CreateKey(RegRoot::CurrentUser, base + "\\Applications");
  factory.status = 3;
  state.client_index = 1;
  state.address = "a@b.c";
  state.display_name = "A";
  Run();
  const auto lines = LogLines();
  const std::vector<std::string> tail(lines.end() - 10, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "Email Client Configuration failed with error code: 3",
                      "Description: ERROR: Outlook has not been run for the first time. Please "
                      "run and close Outlook and try again.",
                      "Relevant Registry Structure:",
                      "Applications",
                      "Profiles",
                      "   Outlook",
                      "      0a0d020000000000c000000000000046",
                      "      9375CFF0413111d3B88A00104B2A6676",
                      "* Configuration Failed at 14:03:22 on 12/08/09 *",
                      "",
                  }));
}

TEST_F(ConfigSessionTest, MissingMessagingKeyDumpsAnErrorLine) {
  factory.status = 2;
  state.client_index = 1;
  state.address = "a@b.c";
  state.display_name = "A";
  Run();
  const auto lines = LogLines();
  EXPECT_EQ(lines[lines.size() - 4], "Relevant Registry Structure:");
  EXPECT_EQ(lines[lines.size() - 3], "error: 2");
}

TEST_F(ConfigSessionTest, RunningClientRefusesTheRun) {
  machine.processes.running = {{42, "thunderbird.exe"}, {43, "bash"}};
  state.client_index = 4;
  Run();
  EXPECT_EQ(LogLines(), Join({Banner(), NothingDetected(),
                              {"Running Email Client Detected. Closing.",
                               "",
                               "* Configuration Incomplete. Terminated automatically at 14:03:22 on "
                               "12/08/09 *",
                               ""}}));
  EXPECT_TRUE(state.refused);
  EXPECT_EQ(state.exit_code, exit_code::kClientRunning);
  EXPECT_TRUE(machine.processes.terminated.empty());
  EXPECT_EQ(factory.record.configure_calls, 0);
}

// The run lock is taken before the automatic mode reads the default account
// and before any configurator exists; a run that cannot get it ends like the
// other refusals and reads or writes no store.
TEST_F(ConfigSessionTest, AnotherRunHoldingTheMachineRefusesTheRunBeforeAnyStoreIsRead) {
  for (const bool automatic : {false, true}) {
    FakePlatform fresh;
    fresh.MakeAppData(kAppData);
    fresh.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "", "msimn.exe");
    fresh.run_lock.grants = false;
    FakeFactory fakes;
    RunState run;
    run.command_line = true;
    run.automatic = automatic;
    run.client_index = 4;
    run.address = "jane@example.com";
    run.display_name = "Jane Doe";
    ConfigSession session(fresh.platform, MachineClients(), fakes, run, nullptr);
    ASSERT_TRUE(session.OnInitDialog());
    session.OnConfigure();
    const auto lines = LinesOf(fresh.files.ReadFile(kLogFile).value_or(""));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{
                  "Another Quillbank run is changing this machine; try again.", "",
                  "* Configuration Incomplete. Terminated automatically at 14:03:22 on 12/08/09 *",
                  ""}));
    EXPECT_EQ(fresh.run_lock.waited_ms, 10000u);
    EXPECT_EQ(fakes.created_client, -99);  // no configurator, so no store read
    EXPECT_TRUE(run.refused);
    EXPECT_EQ(run.exit_code, exit_code::kMachineBusy);
    EXPECT_EQ(run.outcome_message, "Another Quillbank run is changing this machine; try again.");
  }
}

TEST_F(ConfigSessionTest, TheRunLockIsHeldForTheRunAndLetGoAfterwards) {
  state.client_index = 4;
  state.address = "jane@example.com";
  state.display_name = "Jane Doe";
  bool held_while_configuring = false;
  factory.record.on_configure = [&] { held_while_configuring = machine.run_lock.held; };
  Run();
  EXPECT_TRUE(held_while_configuring);
  EXPECT_FALSE(machine.run_lock.held);
  EXPECT_EQ(state.exit_code, 0);
}

TEST_F(ConfigSessionTest, ClientNamesAreMatchedExactly) {
  machine.processes.running = {{7, "outlook.exe"}, {8, "THUNDERBIRD.EXE"}};
  state.client_index = 9;
  Run();
  EXPECT_FALSE(state.refused);
}

TEST_F(ConfigSessionTest, AutomaticModeWithCloseEndsClientsWaitsAndCopiesTheDefaultAccount) {
  Install("Outlook Express");
  SetMailCommand("\"C:\\Program Files\\Outlook Express\\MSIMN.EXE\" /mailurl:%1");
  machine.processes.running = {{42, "thunderbird.exe"}, {44, "thunderbird.exe"}};
  state.automatic = true;
  state.close_running = true;
  state.account_prefix = "Tess-";
  Run();
  EXPECT_EQ(machine.processes.terminated, (std::vector<std::uint32_t>{42, 44}));
  EXPECT_EQ(machine.processes.waited_for, (std::vector<std::uint32_t>{42, 44}));
  EXPECT_EQ(LogLines(), Join({Banner(),
                              LinesOf(DetectionLog({"not detected.", "not detected.", "found.",
                                                     "not detected.", "not detected."})),
                              {"Running Email Client Detected: thunderbird.exe. Closed.",
                               "Running Email Client Detected: thunderbird.exe. Closed.",
                               "Detecting default email client ... done.",
                               "",
                               "Automatically Configuring from default email client's default "
                               "account.",
                               "Default Email Address: copied@example.com",
                               "Default Display Name: Copied Name",
                               "Make Account Default: No",
                               "Overwrite Existing Account: No",
                               "Client Selected to Configure: Microsoft Outlook Express",
                               "",
                               "Fake configurator ran.",
                               "Email Client Configuration Successful!",
                               "",
                               "* Configuration Complete at 14:03:22 on 12/08/09 *",
                               ""}}));
  EXPECT_TRUE(factory.record.auto_mode);
  EXPECT_EQ(factory.record.prefix, "Tess-");
  EXPECT_EQ(factory.record.requests.back(), "copied@example.com|Copied Name|0|0|1");
  EXPECT_EQ(factory.record.configure_calls, 1);
}

TEST_F(ConfigSessionTest, AutomaticFailuresEndTheRunWithTheirOwnLines) {
  struct Case {
    std::string mail_command;
    std::optional<std::string> search;
    std::optional<std::string> default_account;
    std::optional<std::string> address;
    std::optional<std::string> name;
    std::string failure;
    int exit;
  };
  const Case cases[] = {
      {"msimn.exe", "corp", "00000001", "a@corp.com", "N", "noDefault", 11},
      {"msimn.exe", std::nullopt, std::nullopt, "x", "N", "defaultDNE", 12},
      {"msimn.exe", std::nullopt, "00000001", std::nullopt, "N", "defaultDNE", 12},
      // A name that cannot be read is not copied as the error text.
      {"msimn.exe", std::nullopt, "00000001", "a@b.c", std::nullopt, "defaultDNE", 12},
      {"notepad.exe", std::nullopt, "00000001", "a@b.c", "N", "unsupportedDef", 13},
      // The fake factory has readers for Outlook Express and Outlook only.
      {"thunderbird.exe -compose %1", std::nullopt, "00000001", "a@b.c", "N", "unsupportedDef", 13},
      {"winmail.exe", std::nullopt, "00000001", "a@b.c", "N", "unsupportedDef", 13},
  };
  for (const Case& c : cases) {
    FakePlatform fresh;
    fresh.MakeAppData(kAppData);
    fresh.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "", c.mail_command);
    FakeFactory fakes;
    fakes.default_account = c.default_account;
    fakes.address = c.address;
    fakes.name = c.name;
    RunState run;
    run.command_line = run.automatic = true;
    run.account_prefix = "T-";
    run.search_text = c.search;
    ConfigSession session(fresh.platform, MachineClients(), fakes, run, nullptr);
    ASSERT_TRUE(session.OnInitDialog());
    session.OnConfigure();
    const auto lines = LinesOf(fresh.files.ReadFile(kLogFile).value_or(""));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 4], "Email Client Configuration failed with error : " + c.failure)
        << c.mail_command << " " << c.search.value_or("(no search)");
    EXPECT_EQ(lines[lines.size() - 2], "* Configuration Failed at 14:03:22 on 12/08/09 *");
    EXPECT_EQ(run.exit_code, c.exit);
    EXPECT_EQ(fakes.record.configure_calls, 0);
  }
}

TEST_F(ConfigSessionTest, LogFolderFallsBackToTheEnvironmentOrIsSkipped) {
  FakePlatform no_volatile;
  no_volatile.environment.Set("APPDATA", "C:\\data");
  no_volatile.files.MakeFolders("C:\\data");
  RunState run;
  run.command_line = true;
  run.client_index = 9;
  ConfigSession session(no_volatile.platform, MachineClients(), factory, run, nullptr);
  ASSERT_TRUE(session.OnInitDialog());
  session.OnConfigure();
  EXPECT_EQ(session.log_path(), "C:\\data\\Quillbank.log");
  EXPECT_TRUE(no_volatile.files.FileExists("C:\\data\\Quillbank.log"));

  FakePlatform nothing;
  RunState quiet;
  quiet.command_line = true;
  quiet.client_index = 4;
  quiet.address = "a@b.c";
  quiet.display_name = "A";
  ConfigSession without_log(nothing.platform, MachineClients(), factory, quiet, nullptr);
  ASSERT_TRUE(without_log.OnInitDialog());
  without_log.OnConfigure();
  EXPECT_EQ(without_log.log_path(), "");
  EXPECT_TRUE(nothing.files.AllFiles().empty());
  EXPECT_EQ(quiet.status, 0);  // the configuration still runs
}

TEST(DetectionTest, DefaultClientMarkersLastMatchWins) {
  struct Case {
    const char* command;
    int code;
    const ClientList& clients;
  };
  const Case cases[] = {{"\"C:\\PROGRA~1\\OUTLOO~1\\MSIMN.EXE\" /mailurl:%1", 1, MachineClients()},
                        {"C:\\office\\OUTLOOK.EXE -c IPM.Note", 2, MachineClients()},
                        {"outlook.exe msimn", 1, MachineClients()},
                        {"C:\\Program Files\\Windows Mail\\WinMail.exe /mailurl:%1", 3, MachineClients()},
                        {"C:\\Eudora\\Eudora.exe %1", 4, MachineClients()},
                        {"\"C:\\Mozilla Thunderbird\\thunderbird.exe\" -compose \"%1\"", 5, MachineClients()},
                        {"notepad.exe", 0, MachineClients()},
                        {"", 0, MachineClients()},
                        // Where no mail handler is named, the home's default is Thunderbird.
                        {"", 5, HomeClients()}};
  for (const Case& c : cases) {
    FakePlatform machine;
    if (*c.command) {
      machine.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "", c.command);
    }
    EXPECT_EQ(DefaultClient(machine.platform, c.clients).code, c.code) << c.command;
  }
}

// The home logs which desktop file its default client came from, and the
// automatic mode copies from that client or ends as for an unknown one.
TEST(HomeSessionTest, TheLogNamesTheDesktopsMailHandler) {
  struct Case {
    const char* mimeapps;  // ~/.config/mimeapps.list; null for none
    const char* line;
    int exit;
  };
  const Case cases[] = {
      {nullptr, "Default email client: none set; Thunderbird", 0},
      {"[Default Applications]\nx-scheme-handler/mailto=thunderbird.desktop;\n",
       "Default email client: thunderbird.desktop (/home/jane/.config/mimeapps.list)", 0},
      {"[Default Applications]\nx-scheme-handler/mailto=org.gnome.Geary.desktop\n",
       "Default email client: org.gnome.Geary.desktop (/home/jane/.config/mimeapps.list)",
       exit_code::kUnsupportedDefault},
  };
  for (const Case& c : cases) {
    FakePlatform home;
    home.user.BecomeHome();
    home.files.MakeFolders(*home.user.state);
    if (c.mimeapps) home.files.Put("/home/jane/.config/mimeapps.list", c.mimeapps);
    FakeFactory fakes;
    fakes.reading_clients = {MailClient::Thunderbird};
    RunState run;
    run.command_line = run.automatic = true;
    run.account_prefix = "T-";
    ConfigSession session(home.platform, HomeClients(), fakes, run, nullptr);
    ASSERT_TRUE(session.OnInitDialog());
    session.OnConfigure();
    const auto lines = LinesOf(home.files.ReadFile(session.log_path()).value_or(""));
    const auto detected =
        std::find(lines.begin(), lines.end(), "Detecting default email client ... done.");
    ASSERT_TRUE(detected != lines.end() && detected + 2 < lines.end()) << c.line;
    EXPECT_EQ(*(detected + 1), c.line);
    EXPECT_EQ(*(detected + 2), "");
    EXPECT_EQ(run.exit_code, c.exit) << c.line;
  }
}

TEST(RegistryTreeDumpTest, OverlongSubkeyNamesGiveAnErrorLine) {
  FakePlatform machine;
  machine.CreateKey(RegRoot::CurrentUser, "Root\\" + std::string(100, 'k'));
  machine.CreateKey(RegRoot::CurrentUser, "Root\\short\\leaf");
  testing::CapturedLog captured;
  DumpRegistryTree(machine.registry, "Root", 0, captured.log());
  EXPECT_EQ(captured.Lines(), (std::vector<std::string>{"error: 234", "short", "   leaf"}));
}

}  // namespace
}  // namespace quillbank
