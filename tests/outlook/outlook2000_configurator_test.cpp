// Outlook 2000 accounts in an in-memory registry: Internet Mail Only and
// Corporate/Workgroup mode, the store's differences from Outlook Express, and
// the MAPI step that adds and names an Internet mail service.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clients/outlook/outlook2000_configurator.h"
#include "env/platform/mapi.h"
#include "tests/support/captured_text.h"
#include "tests/support/store_test_support.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::DescribeValues;
using testing::FakePlatform;

constexpr RegRoot kHkcu = RegRoot::CurrentUser;
constexpr const char* kStore = "Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\";
constexpr const char* kAccounts = "Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\Accounts\\";
constexpr const char* kSetup = "Software\\Microsoft\\Office\\9.0\\Outlook\\Setup";
constexpr const char* kOptions = "Software\\Microsoft\\Exchange\\Client\\Options";
constexpr const char* kProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr const char* kProfile = "Jane's Profile";
constexpr const char* kAddress = "jane@tessaline.net";
constexpr const char* kName = "Jane Doe";

std::string Account(const std::string& key_name) { return kAccounts + key_name + "\\"; }
std::string Section(const std::string& name) {
  return std::string(kProfiles) + "\\" + kProfile + "\\" + name;
}

// MAPI as a script: records every call, fails the chosen step (1 initialise,
// 2 profile admin, 3 logon, 4 service admin, 5 create service) with 80004005,
// and lets a created service appear as a profile section, as MAPI does.
class ScriptedMapi final : public MapiAdmin {
 public:
  explicit ScriptedMapi(FakePlatform& fake) : fake_(fake) {}

  MapiResult Initialize() override { return Step(1, "MAPIInitialize"); }
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override {
    const MapiResult result = Step(2, "MAPIAdminProfiles");
    if (result == 0) admin = std::make_unique<ProfileAdmin>(*this);
    return result;
  }
  MapiResult LogonEx(const std::string& profile, std::unique_ptr<MapiSession>& session) override {
    const MapiResult result = Step(3, "MAPILogonEx " + profile);
    if (result == 0) session = std::make_unique<Session>(*this);
    return result;
  }
  void Uninitialize() override { calls.push_back("MAPIUninitialize"); }

  int failing_step = 0;
  std::string new_section = "0123456789abcdef0123456789abcdef";
  std::vector<std::string> calls;

 private:
  MapiResult Step(int step, const std::string& call) {
    calls.push_back(call);
    return step == failing_step ? mapi_result::kFail : mapi_result::kOk;
  }
  class ServiceAdmin final : public MapiServiceAdmin {
   public:
    explicit ServiceAdmin(ScriptedMapi& mapi) : mapi_(mapi) {}
    ~ServiceAdmin() override { mapi_.calls.push_back("release service admin"); }
    MapiResult CreateMsgService(const std::string& service, const std::string& display) override {
      const MapiResult result = mapi_.Step(5, "CreateMsgService " + service + " " + display);
      if (result == 0) {
        mapi_.fake_.SetText(kHkcu, Section(mapi_.new_section), "001e3d0b", "MailServiceEntry");
        mapi_.fake_.SetText(kHkcu, Section(mapi_.new_section), "001e3001", display);
      }
      return result;
    }

   private:
    ScriptedMapi& mapi_;
  };
  class ProfileAdmin final : public MapiProfileAdmin {
   public:
    explicit ProfileAdmin(ScriptedMapi& mapi) : mapi_(mapi) {}
    ~ProfileAdmin() override { mapi_.calls.push_back("release profile admin"); }
    MapiResult AdminServices(const std::string& profile,
                             std::unique_ptr<MapiServiceAdmin>& admin) override {
      const MapiResult result = mapi_.Step(4, "AdminServices " + profile);
      if (result == 0) admin = std::make_unique<ServiceAdmin>(mapi_);
      return result;
    }

   private:
    ScriptedMapi& mapi_;
  };
  class Session final : public MapiSession {
   public:
    explicit Session(ScriptedMapi& mapi) : mapi_(mapi) {}
    ~Session() override { mapi_.calls.push_back("logoff session"); }

   private:
    ScriptedMapi& mapi_;
  };
  FakePlatform& fake_;
};

class Outlook2000Test : public ::testing::Test {
 protected:
  Outlook2000Test() { fake.platform.mapi = &mapi; }

  void CorporateMode() {
    fake.SetDword(kHkcu, kSetup, "MailSupport", 1);
    fake.SetText(kHkcu, kProfiles, "DefaultProfile", kProfile);
    fake.SetText(kHkcu, Section("9207f3e0a3b11019908b08002b2a56c2"), "001e3d0b", "MSPST MS");
  }

  AccountRequest Request(const std::string& address = kAddress, bool make_default = false,
                         bool overwrite = false) {
    return AccountRequest{address, kName, make_default, overwrite, true, log.log()};
  }

  std::vector<std::string> Values(const std::string& key_name) {
    return DescribeValues(fake.registry, kHkcu, Account(key_name));
  }

  FakePlatform fake;
  ScriptedMapi mapi{fake};
  CapturedLog log;
  testing::CapturedText out;
};

const std::vector<std::string> kSettingsBlock = {
    "The following settings were written/overwritten in the system registry:",
    "",
    "Account Name: jane@tessaline.net",
    "Connection Type: 3",
    "Leave Mail On Server: 0",
    "POP3 Port: 995",
    "POP3 Prompt for Password: 1",
    "POP3 Secure Connection: 1",
    "POP3 Server: secure.tessaline.net",
    "POP3 Skip Account: 0",
    "POP3 Timeout: 60",
    "POP3 User Name: jane@tessaline.net",
    "SMTP Display Name: Jane Doe",
    "SMTP Email Address: jane@tessaline.net",
    "SMTP Port: 465",
    "SMTP Prompt for Password: 1",
    "SMTP Secure Connection: 1",
    "SMTP Server: secure.tessaline.net",
    "SMTP Split Messages: 0",
    "SMTP Timeout: 60",
    "SMTP Use Sicily: 2",
    "SMTP User Name: jane@tessaline.net",
    "",
};

TEST_F(Outlook2000Test, InternetMailOnlyWritesTheStoreWithoutProfileOrMapi) {
  fake.SetDword(kHkcu, kSetup, "MailSupport", 0);
  Outlook2000Configurator configurator(fake.platform, Request(), out);
  EXPECT_EQ(configurator.ReadMailSupport(), 0);
  EXPECT_EQ(configurator.Configure(), 0);

  std::vector<std::string> expected = {
      "Default Mail Profile is : ",
      "Starting Outlook configuration...",
      "",
      "Searching for existant jane@tessaline.net account ... not found. Creating new account.",
      "",
  };
  expected.insert(expected.end(), kSettingsBlock.begin(), kSettingsBlock.end());
  EXPECT_EQ(log.Lines(), expected);

  // The store did not exist: it is created. Twenty-one values, with
  // "Connection Flags" written but not logged.
  EXPECT_EQ(Values(kAddress), (std::vector<std::string>{
                                  "Account Name=sz:jane@tessaline.net",
                                  "Connection Flags=dword:0",
                                  "Connection Type=dword:3",
                                  "Leave Mail On Server=dword:0",
                                  "POP3 Port=dword:995",
                                  "POP3 Prompt for Password=dword:1",
                                  "POP3 Secure Connection=dword:1",
                                  "POP3 Server=sz:secure.tessaline.net",
                                  "POP3 Skip Account=dword:0",
                                  "POP3 Timeout=dword:60",
                                  "POP3 User Name=sz:jane@tessaline.net",
                                  "SMTP Display Name=sz:Jane Doe",
                                  "SMTP Email Address=sz:jane@tessaline.net",
                                  "SMTP Port=dword:465",
                                  "SMTP Prompt for Password=dword:1",
                                  "SMTP Secure Connection=dword:1",
                                  "SMTP Server=sz:secure.tessaline.net",
                                  "SMTP Split Messages=dword:0",
                                  "SMTP Timeout=dword:60",
                                  "SMTP Use Sicily=dword:2",
                                  "SMTP User Name=sz:jane@tessaline.net",
                              }));
  // Unlike Outlook Express, the first account is not made the default unasked.
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), std::nullopt);
  EXPECT_TRUE(mapi.calls.empty());
  EXPECT_EQ(out.str(), "");
}

TEST_F(Outlook2000Test, MailSupportIsTheValuesFirstByte) {
  Outlook2000Configurator configurator(fake.platform, Request(), out);
  EXPECT_EQ(configurator.ReadMailSupport(), 0);  // no key
  fake.SetText(kHkcu, kSetup, "MailSupport", "1");
  EXPECT_EQ(configurator.ReadMailSupport(), '1');  // the character, not the number
  fake.SetBinary(kHkcu, kSetup, "MailSupport", {0xFF, 0x01});
  EXPECT_EQ(configurator.ReadMailSupport(), -1);
  fake.SetBinary(kHkcu, kSetup, "MailSupport", std::vector<std::uint8_t>(301, 1));
  EXPECT_EQ(configurator.ReadMailSupport(), 0);  // longer than the 300-byte buffer
}

TEST_F(Outlook2000Test, CorporateModeStopsBeforeWritingWhenOutlookAsksForAProfile) {
  CorporateMode();
  fake.SetText(kHkcu, kOptions, "PickLogonProfile", "1");
  Outlook2000Configurator asks(fake.platform, Request(kAddress, true, true), out);
  EXPECT_EQ(asks.Configure(), 4);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(fake.registry.Find(kHkcu, kStore), nullptr);

  fake.SetText(kHkcu, kOptions, "PickLogonProfile", "0");
  FakePlatform no_profiles;
  no_profiles.SetDword(kHkcu, kSetup, "MailSupport", 1);
  Outlook2000Configurator without(no_profiles.platform, Request(kAddress, true, true), out);
  EXPECT_EQ(without.Configure(), 2);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(no_profiles.registry.Find(kHkcu, kStore), nullptr);
  EXPECT_TRUE(mapi.calls.empty());
}

TEST_F(Outlook2000Test, ANumericAccountIsSkippedOrResetInPlaceWithoutASecondKey) {
  fake.SetText(kHkcu, Account("00000001"), "SMTP Email Address", "other@example.com");
  fake.SetText(kHkcu, Account("00000005"), "SMTP Email Address", kAddress);
  fake.SetText(kHkcu, Account("00000005"), "POP3 Server", "pop.example.com");

  Outlook2000Configurator skip(fake.platform, Request(kAddress, true, false), out);
  EXPECT_EQ(skip.Configure(), 5);
  EXPECT_EQ(log.Lines().back(),
            "Searching for existant jane@tessaline.net account ...  found. No changes will be made.");
  EXPECT_EQ(fake.Text(kHkcu, Account("00000005"), "POP3 Server"), "pop.example.com");

  CapturedLog reset_log;
  Outlook2000Configurator reset(fake.platform,
                                AccountRequest{kAddress, kName, true, true, true, reset_log.log()}, out);
  EXPECT_EQ(reset.Configure(), 0);
  EXPECT_EQ(reset_log.Lines()[3],
            "Searching for existant jane@tessaline.net account ...  found. Reseting settings to "
            "defaults.");
  EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts), (std::vector<std::string>{"00000001", "00000005"}));
  EXPECT_EQ(fake.Text(kHkcu, Account("00000005"), "POP3 Server"), "secure.tessaline.net");
  EXPECT_EQ(fake.Dword(kHkcu, Account("00000005"), "Connection Flags"), 0u);
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "00000005");
}

TEST_F(Outlook2000Test, TheAutomaticModeWritesThePrefixedAccountOrQuits) {
  fake.SetText(kHkcu, Account("00000001"), "SMTP Email Address", kAddress);
  fake.SetText(kHkcu, Account("00000001"), "SMTP Display Name", kName);
  fake.SetText(kHkcu, kStore, "Default Mail Account", "00000001");

  auto run = [&](bool overwrite) {
    Outlook2000Configurator reader(
        fake.platform, AccountRequest{"", "", false, overwrite, true, log.log()}, out);
    const std::optional<std::string> key = reader.GetDefAcct();
    const std::string address = reader.GetAcctAddr(key).value_or(kReaderError);
    const std::string name = reader.GetAcctName(key).value_or(kReaderError);
    Outlook2000Configurator configurator(
        fake.platform,
        testing::AutomaticRequest(AccountRequest{address, name, false, overwrite, true, log.log()}, "Tess-"),
        out);
    return configurator.Configure();
  };
  EXPECT_EQ(run(false), 0);
  const std::string key = "Tess-jane@tessaline.net";
  EXPECT_EQ(fake.Text(kHkcu, Account(key), "Account Name"), key);
  EXPECT_EQ(fake.Text(kHkcu, Account(key), "SMTP Email Address"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, Account(key), "POP3 User Name"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, Account(key), "SMTP User Name"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, Account(key), "SMTP Display Name"), kName);
  // The readers of this store log nothing.
  EXPECT_EQ(log.Lines()[0], "Default Mail Profile is : ");
  EXPECT_EQ(log.Lines()[7], "Account Name: Tess-jane@tessaline.net");

  EXPECT_EQ(run(false), 6);
  EXPECT_EQ(log.Lines().back(),
            "Searching for existant jane@tessaline.net account ...  found. Quitting.");
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "00000001");
}

TEST_F(Outlook2000Test, ReadersOfTheOmiStore) {
  fake.SetText(kHkcu, Account("00000002"), "SMTP Email Address", "jane.b@tessaline.net");
  fake.SetText(kHkcu, Account("00000001"), "SMTP Email Address", "jane.a@tessaline.net");
  fake.SetText(kHkcu, Account("00000003"), "SMTP Display Name", "No Address");
  Outlook2000Configurator configurator(fake.platform, Request(""), out);
  EXPECT_EQ(configurator.GetDefAcct(), std::nullopt);  // the store names no default
  EXPECT_EQ(configurator.FindAcctByAddr("jane."), "00000001");
  EXPECT_EQ(configurator.GetAcctAddr("00000003"), std::nullopt);
  EXPECT_EQ(configurator.GetAcctName("00000003"), "No Address");
  EXPECT_EQ(configurator.GetAcctName("00000001"), "");
  EXPECT_EQ(log.text(), "Searching for existant jane. account ... ");

  FakePlatform bare;
  Outlook2000Configurator on_bare(bare.platform, Request(""), out);
  EXPECT_EQ(on_bare.GetDefAcct(), std::nullopt);
  EXPECT_EQ(on_bare.FindAcctByAddr("jane"), std::nullopt);
  EXPECT_EQ(bare.registry.Find(kHkcu, kStore), nullptr);  // a reader creates nothing
}

// ----------------------------------------------------------------- MAPI step

TEST_F(Outlook2000Test, CorporateModeAddsANamedInternetMailServiceAndLeavesOldOnesAlone) {
  CorporateMode();
  const std::string old_service = "aaaa0000aaaa0000aaaa0000aaaa0000";
  fake.SetText(kHkcu, Section(old_service), "001e3d0b", "MailServiceEntry");
  fake.SetText(kHkcu, Section(old_service), "001e3001", "Internet E-Mail - old@example.com");
  fake.SetText(kHkcu, Section(old_service), "001e661f", "old@example.com");

  Outlook2000Configurator configurator(fake.platform, Request(), out);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(configurator.profile_name(), kProfile);
  EXPECT_EQ(out.str(), "");

  EXPECT_EQ(mapi.calls, (std::vector<std::string>{
                            "MAPIInitialize",
                            "MAPIAdminProfiles",
                            "MAPILogonEx Jane's Profile",
                            "AdminServices Jane's Profile",
                            "CreateMsgService IMAIL jane@tessaline.net",
                            "release service admin",
                            "release profile admin",
                            "logoff session",
                            "MAPIUninitialize",
                        }));
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e3001"),
            "Internet E-Mail - jane@tessaline.net");
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e661f"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, Section(old_service), "001e3001"), "Internet E-Mail - old@example.com");
  EXPECT_EQ(fake.Text(kHkcu, Section(old_service), "001e661f"), "old@example.com");
  EXPECT_EQ(fake.Text(kHkcu, Section("9207f3e0a3b11019908b08002b2a56c2"), "001e3001"), std::nullopt);

  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(lines.front(), "Default Mail Profile is : Jane's Profile");
  EXPECT_EQ(lines.back(), "Outlook is in Corporate/Workgroup Mode. Creating MAPI Internet Mail Profile...");
}

TEST_F(Outlook2000Test, TheAutomaticModeNamesTheServiceWithThePrefix) {
  CorporateMode();
  Outlook2000Configurator configurator(fake.platform, testing::AutomaticRequest(Request(), "Tess-"), out);
  EXPECT_EQ(configurator.Configure(), 0);
  // MAPI is given the bare address; the section gets the account's name.
  EXPECT_EQ(mapi.calls[4], "CreateMsgService IMAIL jane@tessaline.net");
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e3001"),
            "Internet E-Mail - Tess-jane@tessaline.net");
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e661f"), "Tess-jane@tessaline.net");
}

TEST_F(Outlook2000Test, EveryExistingSectionIsKnownEvenBeyondAHundred) {
  CorporateMode();
  for (int i = 0; i < 120; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "%032d", i);
    fake.CreateKey(kHkcu, Section(name));
  }
  // Enumerated after the first hundred sections.
  const std::string late = "ffff0000ffff0000ffff0000ffff0000";
  fake.SetText(kHkcu, Section(late), "001e3d0b", "MailServiceEntry");
  Outlook2000Configurator configurator(fake.platform, Request(), out);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(fake.Text(kHkcu, Section(late), "001e661f"), std::nullopt);
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e661f"), kAddress);
}

TEST_F(Outlook2000Test, AFailingMapiStepPrintsItsLineAndKeepsTheAccount) {
  struct Case {
    int step;
    std::string line;
    std::vector<std::string> cleanup;  // the calls after the failing one
  };
  const std::vector<Case> cases = {
      {1, "Error initializing MAPI. hRes = 0x80004005\n", {}},
      {2, "Error getting IProfAdmin interface. hRes = 0x80004005\n", {"MAPIUninitialize"}},
      {3, "Error logging on. hRes = 0x80004005\n", {"release profile admin", "MAPIUninitialize"}},
      {4, "Error getting IMsgServiceAdmin interface. hRes = 0x80004005\n",
       {"release profile admin", "logoff session", "MAPIUninitialize"}},
      {5, "Error creating Exchange message service. hRes = 0x80004005\n",
       {"release service admin", "release profile admin", "logoff session", "MAPIUninitialize"}},
  };
  for (const Case& c : cases) {
    FakePlatform machine;
    ScriptedMapi failing(machine);
    failing.failing_step = c.step;
    machine.platform.mapi = &failing;
    machine.SetDword(kHkcu, kSetup, "MailSupport", 1);
    machine.SetText(kHkcu, kProfiles, "DefaultProfile", kProfile);
    machine.CreateKey(kHkcu, Section("9207f3e0a3b11019908b08002b2a56c2"));
    testing::CapturedText printed;
    CapturedLog run_log;
    Outlook2000Configurator configurator(
        machine.platform, AccountRequest{kAddress, kName, false, false, true, run_log.log()}, printed);
    EXPECT_EQ(configurator.Configure(), 0) << c.step;
    EXPECT_EQ(printed.str(), c.line);
    EXPECT_EQ(printed.flushes(), 1) << c.step;  // the line is out before the clean-up
    EXPECT_EQ(std::vector<std::string>(failing.calls.begin() + c.step, failing.calls.end()),
              c.cleanup)
        << c.step;
    EXPECT_EQ(machine.Text(kHkcu, Account(kAddress), "SMTP Email Address"), kAddress);
    EXPECT_EQ(machine.Subkeys(kHkcu, std::string(kProfiles) + "\\" + kProfile).size(), 1u);
    EXPECT_EQ(run_log.Lines().back(),
              "Outlook is in Corporate/Workgroup Mode. Creating MAPI Internet Mail Profile...");
  }
}

TEST_F(Outlook2000Test, ASectionThatCannotBeNamedCompletelyIsPutBackAndTheAccountStays) {
  CorporateMode();
  testing::FailingRegistry failing(fake.registry);
  failing.failing_values = {"001e661f"};  // the second of the two names
  Platform platform{failing, fake.files, fake.environment, fake.processes, fake.clock,
                    fake.uuids, Windows1252(), fake.user, &mapi};
  Outlook2000Configurator configurator(platform, Request(), out);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(out.str(), "Error naming the Internet mail service. Error = 5\n");
  // The name MAPI gave the service is back.
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e3001"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, Section(mapi.new_section), "001e661f"), std::nullopt);
  EXPECT_EQ(fake.Text(kHkcu, Account(kAddress), "SMTP Email Address"), kAddress);
}

TEST_F(Outlook2000Test, WithoutMapiOrADefaultProfileTheStepFailsFirst) {
  CorporateMode();
  fake.platform.mapi = nullptr;
  Outlook2000Configurator without_mapi(fake.platform, Request(), out);
  EXPECT_EQ(without_mapi.Configure(), 0);
  EXPECT_EQ(out.str(), "Error initializing MAPI. hRes = 0x8007007e\n");

  FakePlatform no_default;
  no_default.platform.mapi = &mapi;
  no_default.SetDword(kHkcu, kSetup, "MailSupport", 1);
  no_default.CreateKey(kHkcu, kProfiles);
  testing::CapturedText printed;
  Outlook2000Configurator configurator(no_default.platform, Request(), printed);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(printed.str(), "Error: no usable default profile name.\n");
  EXPECT_TRUE(mapi.calls.empty());
  EXPECT_TRUE(no_default.Subkeys(kHkcu, kProfiles).empty());
}

#ifndef _WIN32
// The machine folder's MAPI stand-in, through the whole Corporate/Workgroup run.
TEST_F(Outlook2000Test, TheMachineStandInCreatesASectionThatTheStepNames) {
  CorporateMode();
  std::unique_ptr<MapiAdmin> stand_in = MakeRegistryMapiStandIn(fake.registry, fake.uuids);
  fake.platform.mapi = stand_in.get();
  Outlook2000Configurator configurator(fake.platform, Request(), out);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(out.str(), "");
  const std::string section = "00000000000040008000000000000001";  // the first UUID, bare
  EXPECT_EQ(fake.Subkeys(kHkcu, std::string(kProfiles) + "\\" + kProfile),
            (std::vector<std::string>{section, "9207f3e0a3b11019908b08002b2a56c2"}));
  EXPECT_EQ(DescribeValues(fake.registry, kHkcu, Section(section)),
            (std::vector<std::string>{"001e3d09=sz:IMAIL", "001e3d0b=sz:MailServiceEntry",
                                      "001e3001=sz:Internet E-Mail - jane@tessaline.net",
                                      "001e661f=sz:jane@tessaline.net"}));

  // A default profile without its key: logging on fails, nothing is created.
  fake.SetText(kHkcu, kProfiles, "DefaultProfile", "Gone");
  testing::CapturedText printed;
  Outlook2000Configurator missing(fake.platform, Request("other@tessaline.net"), printed);
  EXPECT_EQ(missing.Configure(), 0);
  EXPECT_EQ(printed.str(), "Error logging on. hRes = 0x80040111\n");
  EXPECT_EQ(fake.registry.Find(kHkcu, std::string(kProfiles) + "\\Gone"), nullptr);
}
#endif

}  // namespace
}  // namespace quillbank
