#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "app/config_app.h"
#include "app/help_text.h"
#include "session/config_session.h"
#include "tests/support/captured_text.h"
#include "tests/support/fake_configurators.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::FakeFactory;
using testing::FakePlatform;

// The fake machine; with a host folder, its files lie below that folder on
// this computer, and every look-up of one is counted.
class BorrowedSystem final : public SystemServices {
 public:
  BorrowedSystem(Platform& platform, std::string host_folder, int& host_lookups)
      : platform_(platform), host_folder_(std::move(host_folder)), host_lookups_(host_lookups) {}
  Platform& platform() override { return platform_; }
  std::optional<std::string> HostPathOf(const std::string& path) override {
    if (host_folder_.empty()) return std::nullopt;
    ++host_lookups_;
    return host_folder_ + "/" + path;
  }

 private:
  Platform& platform_;
  std::string host_folder_;
  int& host_lookups_;
};

class ConfigAppTest : public ::testing::Test {
 protected:
  ConfigAppTest() {
    machine.MakeAppData("C:\\appdata");
  }

  int Run(const std::string& text) {
    ConfigAppServices services;
    services.open_system = [this](SystemChoice choice, OpenFor,
                                  std::string& error) -> std::unique_ptr<SystemServices> {
      ++opens;
      chosen = choice;
      if (!machine_usable) {
        error = "the machine folder /x is in use by a running wineserver";
        return nullptr;
      }
      return std::make_unique<BorrowedSystem>(machine.platform, host_folder, host_lookups);
    };
    services.make_factory = [this](Platform& platform,
                                   const ClientList& clients) -> std::unique_ptr<ConfiguratorFactory> {
      if (real_configurators) return MakeClientConfiguratorFactory(platform, clients);
      auto fakes = std::make_unique<FakeFactory>();
      fakes->status = status;
      return fakes;
    };
    if (with_dialog) {
      services.run_dialog = [this](Platform&, const ClientList&, ConfiguratorFactory&) {
        ++dialogs;
        return 0;
      };
    }
    services.machine_named = machine_named;
    ConfigApp app(std::move(services), out, err);
    return app.InitInstance(text);
  }

  FakePlatform machine;
  testing::CapturedText out;
  testing::CapturedText err;
  int status = 0;
  bool machine_usable = true;
  bool with_dialog = false;
  bool real_configurators = false;
  int opens = 0;
  SystemChoice chosen = SystemChoice::Default;
  bool machine_named = false;
  int dialogs = 0;
  std::string host_folder;
  int host_lookups = 0;
};

TEST_F(ConfigAppTest, SuccessPrintsTheCongratulationAndTheLogPath) {
  EXPECT_EQ(Run("-n \"Jane Doe\" -a jane@example.com -c 4"), 0);
  EXPECT_EQ(out.str(),
            "Congratulations! Mozilla Thunderbird has been successfully configured for your mail "
            "settings.\nLog file: C:\\appdata\\Quillbank.log\n");
}

TEST_F(ConfigAppTest, ExitCodesTellLoginScriptsWhatHappened) {
  EXPECT_EQ(Run("-n \"J\" -a j@x.y -c 9"), exit_code::kNoConfigurator);
  EXPECT_NE(out.str().find("\"-c\" value must be a client number from 0 to 4"), std::string::npos);
  status = 5;
  EXPECT_EQ(Run("-n \"J\" -a j@x.y -c 0"), 5);
  EXPECT_NE(out.str().find("ERROR: Account was already found"), std::string::npos);
  EXPECT_EQ(Run("-n \"J\" -a \"j@x.y\" -c 0"), exit_code::kUnsafeInput);
  EXPECT_EQ(Run("-auto -p \"T-\""), exit_code::kUnsupportedDefault);
  EXPECT_NE(out.str().find("The system's default email client is not supported by Quillbank."),
            std::string::npos);
  machine.processes.running = {{9, "Eudora.exe"}};
  EXPECT_EQ(Run("-n \"J\" -a j@x.y -c 3"), exit_code::kClientRunning);
  EXPECT_NE(out.str().find("Please exit all running email clients"), std::string::npos);
}

TEST_F(ConfigAppTest, MissingOptionPrintsUsageAndTouchesNothing) {
  EXPECT_EQ(Run("-n \"Jane\" -a jane@example.com"), exit_code::kUsage);
  EXPECT_EQ(Run("-auto -x"), exit_code::kUsage);
  EXPECT_EQ(opens, 0);
  EXPECT_TRUE(machine.files.AllFiles().empty());
  EXPECT_NE(err.str().find("usage: quillbank"), std::string::npos);
  EXPECT_EQ(out.str(), "");
}

TEST_F(ConfigAppTest, AnEmptyNameOrAddressIsAMissingOption) {
  for (const char* text : {"-n \"\" -a jane@example.com -c 4", "-n \"Jane\" -a  -c 4",
                           "-n \"Jane\" -a \"\" -c 2", "-c 1 -a jane@example.com -n \"\""}) {
    EXPECT_EQ(Run(text), exit_code::kUsage) << text;
  }
  EXPECT_EQ(opens, 0);
  EXPECT_TRUE(machine.files.AllFiles().empty());
}

// The command text is UTF-8; the program's narrow text is Windows-1252 here.
TEST_F(ConfigAppTest, TypedTextIsConvertedToTheCodePageOrRefusedBeforeAnythingIsOpened) {
  struct Case {
    const char* text;
    const char* message;  // empty: accepted
  };
  const Case cases[] = {
      {"-n \"J\xC3\xBCrgen Gr\xC3\xB6\xC3\x9F \xE2\x82\xAC\" -a j@x.y -c 4", ""},
      {"-n \"\xE4\xB8\xAD\xE6\x96\x87\" -a j@x.y -c 4",
       "ERROR: The display name holds the character U+4E2D, which cannot be used here. "
       "Nothing was configured.\n"},
      {"-n \"J\" -a j\xF0\x9F\x98\x80@x.y -c 4",
       "ERROR: The email address holds the character U+1F600, which cannot be used here. "
       "Nothing was configured.\n"},
      {"-n \"J\xFCrgen\" -a j@x.y -c 4",
       "ERROR: The display name is not valid UTF-8 text. Nothing was configured.\n"},
      {"-auto -p \"\xC5\x81\" -s \"x\"",
       "ERROR: The account-name prefix holds the character U+0141, which cannot be used here. "
       "Nothing was configured.\n"},
      {"-auto -p \"T\" -s \"\xC0\xAE\"",
       "ERROR: The search text is not valid UTF-8 text. Nothing was configured.\n"},
  };
  for (const Case& c : cases) {
    out.str("");
    opens = 0;
    const int code = Run(c.text);
    if (*c.message == '\0') {
      EXPECT_EQ(code, 0) << c.text;
      continue;
    }
    EXPECT_EQ(code, exit_code::kUnsafeInput) << c.text;
    EXPECT_EQ(out.str(), c.message);
    EXPECT_EQ(opens, 0) << c.text;
  }
  // The accepted name reached the log as Windows-1252.
  const std::string log = machine.files.ReadFile("C:\\appdata\\Quillbank.log").value_or("");
  EXPECT_NE(log.find("User Entered Display Name: J\xFCrgen Gr\xF6\xDF \x80\r\n"), std::string::npos);
}

TEST_F(ConfigAppTest, HelpVersionAndDialogWithoutHost) {
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_EQ(Run("/?"), 0);
  EXPECT_EQ(Run("--version"), 0);
  EXPECT_NE(out.str().find("quillbank "), std::string::npos);
  EXPECT_EQ(Run(""), exit_code::kUsage);
  EXPECT_EQ(opens, 0);
  with_dialog = true;
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(dialogs, 1);
}

TEST_F(ConfigAppTest, UnusableMachineIsRefusedWithItsReason) {
  machine_usable = false;
  EXPECT_EQ(Run("-n \"J\" -a j@x.y -c 4"), exit_code::kMachineUnusable);
  EXPECT_NE(err.str().find("running wineserver"), std::string::npos);
  EXPECT_TRUE(machine.files.AllFiles().empty());
}

// The home mode: which system is opened, and what it refuses before
// opening anything.
TEST_F(ConfigAppTest, TheHomeModeOpensTheUsersHomeForThunderbirdOnly) {
  struct Case {
    std::string text;
    bool machine_named;
    int exit_code;
    std::string printed;  // start of what the run printed (out, then err)
    int opens;
  };
  const Case cases[] = {
      {"--home -n \"J\" -a j@x.y -c 4", false, 0, "Congratulations!", 1},
      {"-n \"J\" -a j@x.y -c 4 --home", false, 0, "Congratulations!", 1},
      {"--home -n \"J\" -a j@x.y -c 1", false, exit_code::kNoConfigurator,
       "Microsoft Outlook exists only on Windows; on this computer Quillbank can configure "
       "Thunderbird and Evolution.\n", 0},
      // The home's own client, asked for on the machine folder.
      {"-n \"J\" -a j@x.y -c 5", false, exit_code::kNoConfigurator,
       "GNOME Evolution exists only on Linux; on this computer Quillbank can configure Outlook "
       "Express, Outlook, Windows Mail, Eudora and Thunderbird.\n", 0},
      {"--home -n \"J\" -a j@x.y -c 4", true, exit_code::kUsage, "quillbank: --home", 0},
      {"--home -n \"\xE4\xB8\xAD\" -a j@x.y -c 4", false, 0, "Congratulations!", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    out.str("");
    err.str("");
    opens = 0;
    machine_named = c.machine_named;
    EXPECT_EQ(Run(c.text), c.exit_code);
    EXPECT_EQ((out.str() + err.str()).rfind(c.printed, 0), 0u) << out.str() << err.str();
    EXPECT_EQ(opens, c.opens);
    if (c.opens) {
      EXPECT_EQ(chosen, SystemChoice::UserHome);
    }
  }
}

// Mistakes on the command line end the run before anything is opened.
TEST_F(ConfigAppTest, AMistypedOptionOrAnAddressThatIsNoAddressIsRefusedUntouched) {
  const std::pair<std::string, std::string> cases[] = {
      {"--dryrun -n \"J\" -a j@x.y -c 4", "quillbank: unknown option: --dryrun\n"},
      {"-n \"J\" -a j@x.y -c 4 --dry-rum", "quillbank: unknown option: --dry-rum\n"},
      {"--undo -c 4", "quillbank: --undo takes no options but --home, --dry-run and --json: -c 4\n"},
      {"-n \"J\" -a bad -c 4", "quillbank: not an email address: bad\n"},
      {"-n \"J\" -a j@x -c 4", "quillbank: not an email address: j@x\n"},
      {"-n \"J\" -a @x.y -c 4", "quillbank: not an email address: @x.y\n"},
  };
  for (const auto& [text, printed] : cases) {
    SCOPED_TRACE(text);
    err.str("");
    EXPECT_EQ(Run(text), exit_code::kUsage);
    EXPECT_EQ(err.str(), printed);
  }
  EXPECT_EQ(opens, 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_TRUE(machine.files.AllFiles().empty());
}

TEST_F(ConfigAppTest, HelpShowsEveryOptionAndExitCodeWithinEightyColumns) {
  for (const char* word : {"-h", "--help", "/?", "-n \"J\" --help"}) {
    out.str("");
    EXPECT_EQ(Run(word), exit_code::kSuccess) << word;
  }
  std::istringstream help(out.str());
  std::string all;
  for (std::string line; std::getline(help, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    all += line + "\n";
  }
  const ClientList clients(AllClients(), SystemKind::MachineFolder);
  for (const HelpRow& row : OptionRows(clients)) EXPECT_NE(all.find("  " + row.key), std::string::npos);
  for (const HelpRow& row : ExitCodeRows(clients)) EXPECT_NE(all.find("  " + row.key + " "), std::string::npos);
  EXPECT_NE(all.find("4 Thunderbird"), std::string::npos);
  EXPECT_EQ(opens, 0);
}

// On a machine folder the log line and --json both name where the log lies
// on this computer, found with one look-up.
TEST_F(ConfigAppTest, TheLogLineAndTheJsonNameTheLogsHostFile) {
  host_folder = "/m";
  EXPECT_EQ(Run("-n \"J\" -a j@x.y -c 9 --json"), exit_code::kNoConfigurator);
  const std::string host_log = "/m/C:\\appdata\\Quillbank.log";
  EXPECT_NE(out.str().find("\nLog file: C:\\appdata\\Quillbank.log (" + host_log + ")\n{"),
            std::string::npos)
      << out.str();
  const nlohmann::json line = nlohmann::json::parse(out.str().substr(out.str().find("\n{") + 1));
  EXPECT_EQ(line["log"], host_log);
  EXPECT_EQ(host_lookups, 1);
}

// The JSON line parses, whatever the name holds, and names what changed: a
// first-time user's three folders and three files.
TEST_F(ConfigAppTest, TheJsonLineTellsTheOutcomeAndTheChanges) {
  real_configurators = true;
  machine.CreateKey(RegRoot::LocalMachine, "SOFTWARE\\Clients\\Mail\\Mozilla Thunderbird");
  machine.SetText(RegRoot::LocalMachine, "SOFTWARE\\Clients\\Mail\\Microsoft Outlook",
                  "MSIApplicationLCID", "Software\\Microsoft\\Office\\16.0\\Outlook");
  struct Case {
    std::string text;
    int exit_code;
    const char* outcome;
    std::size_t changes;
    const char* account;  // null: none
  };
  const Case cases[] = {
      {"-n \"Jane \\\"Q\\\" D\xC3\xBCrer\" -a jane@example.com -c 4 --json", 0, "configured", 6, "server2"},
      {"--json -n \"Jane\" -a jane@example.com -c 4", 5, "exists", 0, nullptr},
      {"-n \"Tab\there\" -a tab@example.com -c 4 --json", 30, "invalid-text", 0, nullptr},
      {"-n \"J\" -a bad -c 4 --json", 64, "usage", 0, nullptr},
      {"-n \"J\" -a j@x.y -c 9 --json", 10, "no-client", 0, nullptr},
      {"-n \"J\" -a j@x.y -c 1 --json", 8, "unsupported-version", 0, nullptr},
      // A dry run tells what the real run would change and changes nothing;
      // the undo then takes back the first run: its six files and folders.
      {"-n \"Joe\" -a joe@example.com -c 4 --dry-run --json", 0, "configured", 1, "server3"},
      {"--undo --json", 0, "configured", 6, nullptr},
      {"--json --undo", 23, "nothing-to-undo", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    out.str("");
    EXPECT_EQ(Run(c.text), c.exit_code);
    const std::string printed = out.str();
    ASSERT_FALSE(printed.empty());
    const std::size_t last = printed.rfind('\n', printed.size() - 2);
    const nlohmann::json line =
        nlohmann::json::parse(printed.substr(last == std::string::npos ? 0 : last + 1));
    EXPECT_EQ(line["exit"], c.exit_code);
    EXPECT_EQ(line["outcome"], c.outcome);
    EXPECT_EQ(line["dry_run"], c.text.find("--dry-run") != std::string::npos);
    EXPECT_EQ(line["changes"].size(), c.changes) << line.dump();
    EXPECT_EQ(line["account"], c.account ? nlohmann::json(c.account) : nlohmann::json(nullptr));
  }
  EXPECT_TRUE(machine.files.AllFiles().size() <= 1) << "only the log stays";
}

// Evolution's default is a desktop setting: a third kind of change, which
// the dry run shows, the report names and undo puts back.
TEST_F(ConfigAppTest, EvolutionsDefaultIsASettingTheDryRunShowsAndUndoPutsBack) {
  real_configurators = true;
  machine.user.BecomeHome();
  machine.files.MakeFolders(testing::FakeUserSpace::kHome);
  machine.user.on_path.insert("evolution");
  const std::string account = "org.gnome.Evolution.DefaultSources default-mail-account";
  const std::string identity = "org.gnome.Evolution.DefaultSources default-mail-identity";
  machine.settings.values = {{account, "'system'"}, {identity, "''"}};
  const auto json = [this] {
    const std::string printed = out.str();
    return nlohmann::json::parse(printed.substr(printed.rfind('\n', printed.size() - 2) + 1));
  };
  const std::string run = "--home -n \"J\" -a j@x.y -c 5 -d --json";

  ASSERT_EQ(Run(run + " --dry-run"), 0) << out.str();
  EXPECT_NE(out.str().find("GSettings\n; before\n[org.gnome.Evolution.DefaultSources]\n"
                           "default-mail-account='system'\ndefault-mail-identity=''\n; after\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(machine.settings.values[account], "'system'");

  out.str("");
  ASSERT_EQ(Run(run), 0) << out.str();
  const nlohmann::json report = json();
  const std::string uid = report["account"];
  EXPECT_EQ(machine.settings.values[account], "'" + uid + "'");
  EXPECT_NE(report["changes"].dump().find(
                R"({"action":"replace","kind":"gsettings","store":")" + account + "\"}"),
            std::string::npos)
      << report.dump();

  // Chosen again since, in Evolution: undo refuses and names the setting.
  machine.settings.values[account] = "'other'";
  out.str("");
  EXPECT_EQ(Run("--home --undo"), exit_code::kChangedSince);
  EXPECT_NE(out.str().find(account), std::string::npos) << out.str();
  EXPECT_EQ(machine.settings.values[account], "'other'");

  machine.settings.values[account] = "'" + uid + "'";
  EXPECT_EQ(Run("--home --undo"), 0);
  EXPECT_EQ(machine.settings.values[account], "'system'");
  EXPECT_EQ(machine.settings.values[identity], "''");
}

}  // namespace
}  // namespace quillbank
