// The automatic mode with Eudora as the default client: which account the
// readers take, the line each one logs, the lines the run logs from them,
// and that a failed run leaves Eudora.ini as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/mail_clients.h"
#include "clients/eudora/eudora_configurator.h"
#include "session/config_session.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::FakePlatform;
using testing::LinesOf;
using Lines = std::vector<std::string>;

constexpr const char* kAppData = "C:\\Users\\jane\\AppData\\Roaming";
constexpr const char* kIni = "C:\\Users\\jane\\AppData\\Roaming\\Qualcomm\\Eudora\\Eudora.ini";
constexpr const char* kLog = "C:\\Users\\jane\\AppData\\Roaming\\Quillbank.log";
constexpr const char* kFirstRunLine =
    "Automatically Configuring from default email client's default account.";

// A dominant personality, two listed personas (work has no real name) and a
// persona section the list does not name.
constexpr const char* kIniText =
    "[Settings]\r\n"
    "; ReturnAddress=old@example.com\r\n"
    "RealName=Bob Stone\r\n"
    "ReturnAddress = bob@example.com\r\n"
    "[Personalities]\r\n"
    "Persona0=Persona-work\r\n"
    "persona1 = Persona-club\r\n"
    "[Persona-work]\r\n"
    "ReturnAddress=bob@work.example\r\n"
    "[persona-CLUB]\r\n"
    "RealName=Bob at the Club\r\n"
    "ReturnAddress=bob@club.example\r\n"
    "[Persona-stray]\r\n"
    "ReturnAddress=bob@stray.example\r\n";

// Hands the run a real Eudora configurator for the automatic mode.
class EudoraFactory final : public ConfiguratorFactory {
 public:
  explicit EudoraFactory(Platform& platform) : platform_(platform) {}
  std::unique_ptr<Configurator> Create(int client, int, const AccountRequest& request) override {
    if (client != static_cast<int>(MailClient::Eudora)) return nullptr;
    return std::make_unique<EudoraConfigurator>(platform_, request);
  }
  std::unique_ptr<AccountReader> CreateReader(int client, int, RunLog& log) override {
    if (client != static_cast<int>(MailClient::Eudora)) return nullptr;
    return std::make_unique<EudoraConfigurator>(platform_,
                                                AccountRequest{"", "", false, false, true, log});
  }

 private:
  Platform& platform_;
};

struct Outcome {
  int exit_code;
  Lines lines;  // the log from the automatic mode's first line on
};

// One automatic run on a machine whose default mail client is Eudora.
Outcome RunAutomatic(FakePlatform& fake, const std::optional<std::string>& search) {
  fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", kAppData);
  fake.files.MakeFolders(kAppData);
  fake.SetText(RegRoot::ClassesRoot, "mailto\\shell\\open\\command", "",
               "\"C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe\" /m %1");
  EudoraFactory factory(fake.platform);
  RunState state;
  state.command_line = state.automatic = true;
  state.account_prefix = "Tessaline ";
  state.search_text = search;
  ConfigSession session(fake.platform, MachineClients(), factory, state, nullptr);
  if (session.OnInitDialog()) session.OnConfigure();
  const Lines all = LinesOf(fake.files.ReadFile(kLog).value_or(""));
  return {state.exit_code, Lines(std::find(all.begin(), all.end(), kFirstRunLine), all.end())};
}

// The lines of a run whose readers found the account `key`.
Lines Copied(const std::string& first, const std::string& key, const std::string& address,
             const std::string& name) {
  return {first + key, "GetAcctAddr Result (ReturnAddress of " + key + "): " + address,
          "GetAcctName Result (RealName of " + key + "): " + name,
          "Default Email Address: " + address, "Default Display Name: " + name};
}

// The lines of a run whose first reader found no account.
Lines NotFound(const std::string& first, const std::string& failure) {
  return {first + "*ERROR*", "GetAcctAddr Result (ReturnAddress of *ERROR*): *ERROR*",
          "GetAcctName Result (RealName of *ERROR*): *ERROR*",
          "Email Client Configuration failed with error : " + failure};
}

TEST(EudoraReadersTest, TheReadersFindTheAccountToCopyOrEndTheRun) {
  struct Case {
    const char* what;
    std::optional<std::string> ini;
    std::optional<std::string> search;
    int exit_code;
    Lines lines;  // after the first run line, up to the addresses or the failure
  };
  const std::string dominant = "GetDefAcct Result (dominant personality [Settings]): ";
  const auto search = [](const char* text) {
    return "FindAcctByAddr Result (ReturnAddress containing \"" + std::string(text) + "\"): ";
  };
  const std::string no_address = "[Settings]\r\n;ReturnAddress=x@example.com\r\nReturnAddress=\r\n";
  const Case cases[] = {
      {"default account", kIniText, std::nullopt, 0,
       Copied(dominant, "Settings", "bob@example.com", "Bob Stone")},
      {"the dominant personality is searched first", kIniText, "bob@", 0,
       Copied(search("bob@"), "Settings", "bob@example.com", "Bob Stone")},
      {"a listed persona, found by part of its address", kIniText, "club", 0,
       Copied(search("club"), "Persona-club", "bob@club.example", "Bob at the Club")},
      {"a persona without a real name", kIniText, "work", 0,
       Copied(search("work"), "Persona-work", "bob@work.example", "")},
      {"case counts", kIniText, "BOB", 11, NotFound(search("BOB"), "noDefault")},
      {"a persona the list does not name is no account", kIniText, "stray", 11,
       NotFound(search("stray"), "noDefault")},
      {"a dominant personality without an address", no_address, std::nullopt, 12,
       {dominant + "Settings", "GetAcctAddr Result (ReturnAddress of Settings): *ERROR*",
        "GetAcctName Result (RealName of Settings): ",
        "Email Client Configuration failed with error : defaultDNE"}},
      {"no dominant personality", "[Personalities]\r\nPersona0=Persona-a\r\n[Persona-a]\r\n",
       std::nullopt, 12, NotFound(dominant, "defaultDNE")},
      {"no Eudora.ini", std::nullopt, std::nullopt, 12, NotFound(dominant, "defaultDNE")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    if (c.ini) fake.files.Put(kIni, *c.ini);
    const Outcome outcome = RunAutomatic(fake, c.search);
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    ASSERT_GT(outcome.lines.size(), c.lines.size());
    EXPECT_EQ(Lines(outcome.lines.begin() + 1, outcome.lines.begin() + 1 + c.lines.size()), c.lines);
    if (c.exit_code != 0) {
      // A failed run changes nothing but the log.
      EXPECT_EQ(fake.files.ReadFile(kIni), c.ini);
      EXPECT_EQ(fake.files.replacements(), 0);
    }
  }
}

TEST(EudoraReadersTest, APrefixThatCannotNameASectionIsRefused) {
  for (const char* prefix : {"Tess\r\n[Settings]", "Tess[", "Tess]", "\x7F"}) {
    SCOPED_TRACE(prefix);
    FakePlatform fake;
    fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", kAppData);
    fake.files.Put(kIni, kIniText);
    CapturedLog log;
    EudoraConfigurator configurator(
        fake.platform,
        testing::AutomaticRequest(AccountRequest{"bob@example.com", "Bob Stone", false, true, true, log.log()},
                         prefix));
    EXPECT_EQ(configurator.Configure(), status::kUnsafeInput);
    EXPECT_EQ(log.Lines().back(),
              "The account-name prefix cannot be written to Eudora.ini: it holds a control "
              "character, \"[\" or \"]\".");
    EXPECT_EQ(fake.files.ReadFile(kIni), kIniText);
  }
}

}  // namespace
}  // namespace quillbank
