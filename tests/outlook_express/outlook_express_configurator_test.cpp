// Outlook Express accounts in an in-memory registry: the search, the three
// decisions, the values written, the default account, the automatic mode and
// its readers, and the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clients/outlook_express/outlook_express_configurator.h"
#include "tests/support/store_test_support.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::DescribeValues;
using testing::FakePlatform;

constexpr RegRoot kHkcu = RegRoot::CurrentUser;
constexpr const char* kStore = "Software\\Microsoft\\Internet Account Manager\\";
constexpr const char* kAccounts = "Software\\Microsoft\\Internet Account Manager\\Accounts\\";
constexpr const char* kAddress = "jane@tessaline.net";
constexpr const char* kName = "Jane Doe";

std::string Account(const std::string& key_name) { return kAccounts + key_name + "\\"; }

std::vector<std::string> ExpectedValues(const std::string& account_name, const std::string& address,
                                        const std::string& name, bool ssl) {
  const std::string in = ssl ? "secure.tessaline.net" : "pop.tessaline.net";
  const std::string out = ssl ? "secure.tessaline.net" : "smtp.tessaline.net";
  return {
      "Account Name=sz:" + account_name,
      "Connection Type=dword:3",
      "Leave Mail On Server=dword:0",
      std::string("POP3 Port=dword:") + (ssl ? "995" : "110"),
      "POP3 Prompt for Password=dword:0",
      std::string("POP3 Secure Connection=dword:") + (ssl ? "1" : "0"),
      "POP3 Server=sz:" + in,
      "POP3 Skip Account=dword:0",
      "POP3 Timeout=dword:60",
      "POP3 User Name=sz:" + address,
      "SMTP Display Name=sz:" + name,
      "SMTP Email Address=sz:" + address,
      std::string("SMTP Port=dword:") + (ssl ? "465" : "587"),
      "SMTP Prompt for Password=dword:1",
      std::string("SMTP Secure Connection=dword:") + (ssl ? "1" : "0"),
      "SMTP Server=sz:" + out,
      "SMTP Split Messages=dword:0",
      "SMTP Timeout=dword:60",
      "SMTP Use Sicily=dword:2",
      "SMTP User Name=sz:" + address,
  };
}

class OutlookExpressTest : public ::testing::Test {
 protected:
  OutlookExpressTest() { fake.CreateKey(kHkcu, kAccounts); }

  // An account as Outlook Express would have made it, under its own key name.
  void AddAccount(const std::string& key_name, const std::string& address,
                  const std::string& name = "Someone") {
    fake.SetText(kHkcu, Account(key_name), "SMTP Email Address", address);
    fake.SetText(kHkcu, Account(key_name), "SMTP Display Name", name);
    fake.SetText(kHkcu, Account(key_name), "POP3 Server", "pop.example.com");
  }

  AccountRequest Request(const std::string& address = kAddress, bool make_default = false,
                         bool overwrite = false, bool ssl = true) {
    return AccountRequest{address, kName, make_default, overwrite, ssl, log.log()};
  }

  std::vector<std::string> Values(const std::string& key_name) {
    return DescribeValues(fake.registry, kHkcu, Account(key_name));
  }

  FakePlatform fake;
  CapturedLog log;
};

TEST_F(OutlookExpressTest, EmptyStoreGetsAnAccountNamedByTheAddressThatBecomesTheDefault) {
  OutlookExpressConfigurator configurator(fake.platform, Request());
  EXPECT_EQ(configurator.Configure(), 0);

  EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts), std::vector<std::string>{kAddress});
  EXPECT_EQ(Values(kAddress), ExpectedValues(kAddress, kAddress, kName, true));
  // Make default is off, but the store's first account is its default.
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), kAddress);
}

TEST_F(OutlookExpressTest, TheWholeLogBlockOfANewAccountWithoutSsl) {
  AddAccount("00000001", "other@example.com");
  OutlookExpressConfigurator configurator(fake.platform, Request(kAddress, false, false, false));
  EXPECT_EQ(configurator.Configure(), 0);

  const std::vector<std::string> expected = {
      "Starting Outlook Express configuration...",
      "",
      "Searching for existing jane@tessaline.net account ... ",
      "\tFound address: 'other@example.com' at: " + Account("00000001"),
      "...not found. Creating new account.",
      "",
      "The following settings were written/overwritten in the system registry:",
      "",
      "Account Name: jane@tessaline.net",
      "Connection Type: 3",
      "Leave Mail On Server: 0",
      "POP3 Port: 110",
      "POP3 Prompt for Password: 0",
      "POP3 Secure Connection: 0",
      "POP3 Server: pop.tessaline.net",
      "POP3 Skip Account: 0",
      "POP3 Timeout: 60",
      "POP3 User Name: jane@tessaline.net",
      "SMTP Display Name: Jane Doe",
      "SMTP Email Address: jane@tessaline.net",
      "SMTP Port: 587",
      "SMTP Prompt for Password: 1",
      "SMTP Secure Connection: 0",
      "SMTP Server: smtp.tessaline.net",
      "SMTP Split Messages: 0",
      "SMTP Timeout: 60",
      "SMTP Use Sicily: 2",
      "SMTP User Name: jane@tessaline.net",
      "",
      "Writing at RegKey: " + Account(kAddress),
  };
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_EQ(Values(kAddress), ExpectedValues(kAddress, kAddress, kName, false));
  // Not the first account and not asked to: the default stays unset.
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), std::nullopt);
}

TEST_F(OutlookExpressTest, AnAddressDifferingOnlyInLetterCaseIsNotAMatch) {
  AddAccount("00000001", "Jane@Tessaline.net");
  OutlookExpressConfigurator configurator(fake.platform, Request());
  EXPECT_EQ(configurator.Configure(), 0);

  EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts), (std::vector<std::string>{"00000001", kAddress}));
  EXPECT_EQ(fake.Text(kHkcu, Account("00000001"), "SMTP Email Address"), "Jane@Tessaline.net");
  EXPECT_EQ(log.Lines()[4], "...not found. Creating new account.");
}

TEST_F(OutlookExpressTest, AKeyThatAlreadyHasTheNewAccountsNameInOtherCaseIsNotWrittenOverUnasked) {
  // The registry has one key for both spellings, so creating "jane@..." would
  // open this account and overwrite it although overwrite is off.
  AddAccount("Jane@Tessaline.net", "Jane@Tessaline.net");
  OutlookExpressConfigurator configurator(fake.platform, Request());
  EXPECT_EQ(configurator.Configure(), 5);
  EXPECT_EQ(log.Lines().back(), "...found. No changes will be made.");
  EXPECT_EQ(fake.Text(kHkcu, Account("Jane@Tessaline.net"), "POP3 Server"), "pop.example.com");
}

TEST_F(OutlookExpressTest, AMatchedNumericAccountIsSkippedOrResetInPlaceAndMadeDefaultByItsName) {
  AddAccount("00000001", "first@example.com");
  AddAccount("00000002", kAddress);
  AddAccount("00000003", "third@example.com");
  fake.SetText(kHkcu, kStore, "Default Mail Account", "00000001");

  {
    OutlookExpressConfigurator skip(fake.platform, Request(kAddress, true, false));
    EXPECT_EQ(skip.Configure(), 5);
    EXPECT_EQ(log.Lines().back(), "...found. No changes will be made.");
    EXPECT_EQ(fake.Text(kHkcu, Account("00000002"), "POP3 Server"), "pop.example.com");
    EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "00000001");
  }

  CapturedLog reset_log;
  OutlookExpressConfigurator reset(
      fake.platform, AccountRequest{kAddress, kName, true, true, true, reset_log.log()});
  EXPECT_EQ(reset.Configure(), 0);

  // The search ends at the match: the third account is never looked at.
  const std::vector<std::string> lines = reset_log.Lines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[3], "\tFound address: 'first@example.com' at: " + Account("00000001"));
  EXPECT_EQ(lines[4], "\tFound address: 'jane@tessaline.net' at: " + Account("00000002"));
  EXPECT_EQ(lines[5], "...found. Resetting settings to defaults.");
  EXPECT_EQ(lines.back(), "Writing at RegKey: " + Account("00000002"));

  EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts),
            (std::vector<std::string>{"00000001", "00000002", "00000003"}));
  EXPECT_EQ(fake.Text(kHkcu, Account("00000002"), "POP3 Server"), "secure.tessaline.net");
  EXPECT_EQ(fake.Text(kHkcu, Account("00000002"), "Account Name"), kAddress);
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "00000002");
}

TEST_F(OutlookExpressTest, AnAccountWhoseAddressCannotBeReadIsLoggedEmptyAndDoesNotMatch) {
  fake.SetText(kHkcu, Account("00000001"), "SMTP Email Address", std::string(100, 'x'));
  fake.CreateKey(kHkcu, Account("00000002"));
  OutlookExpressConfigurator configurator(fake.platform, Request());
  EXPECT_EQ(configurator.Configure(), 0);
  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(lines[3], "\tFound address: '' at: " + Account("00000001"));
  EXPECT_EQ(lines[4], "\tFound address: '' at: " + Account("00000002"));
  EXPECT_EQ(lines[5], "...not found. Creating new account.");
}

TEST_F(OutlookExpressTest, AMissingAccountsKeyIsStatusOneWithNothingWritten) {
  FakePlatform bare;
  OutlookExpressConfigurator configurator(bare.platform, Request(kAddress, true, true));
  EXPECT_EQ(configurator.Configure(), 1);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Starting Outlook Express configuration...", ""}));
  EXPECT_EQ(bare.registry.Find(kHkcu, kStore), nullptr);
}

// ------------------------------------------------------------ automatic mode

class OutlookExpressAutomaticTest : public OutlookExpressTest {
 protected:
  // The calls the run makes in the automatic mode, up to Configure.
  std::unique_ptr<OutlookExpressConfigurator> Prepare(const std::string& search, bool overwrite) {
    OutlookExpressConfigurator reader(fake.platform,
                                      AccountRequest{"", "", false, overwrite, true, log.log()});
    const std::optional<std::string> key =
        search.empty() ? reader.GetDefAcct() : reader.FindAcctByAddr(search);
    address = reader.GetAcctAddr(key).value_or(kReaderError);
    name = reader.GetAcctName(key).value_or(kReaderError);
    return std::make_unique<OutlookExpressConfigurator>(
        fake.platform,
        testing::AutomaticRequest(AccountRequest{address, name, false, overwrite, true, log.log()}, "Tess-"));
  }

  std::string address;
  std::string name;
};

TEST_F(OutlookExpressAutomaticTest, TheDefaultAccountIsCopiedUnderThePrefixedName) {
  AddAccount("00000001", "other@example.com");
  AddAccount("00000002", kAddress, kName);
  fake.SetText(kHkcu, kStore, "Default Mail Account", "00000002");

  auto configurator = Prepare("", false);
  EXPECT_EQ(address, kAddress);
  EXPECT_EQ(name, kName);
  EXPECT_EQ(configurator->Configure(), 0);

  EXPECT_EQ(Values("Tess-jane@tessaline.net"),
            ExpectedValues("Tess-jane@tessaline.net", kAddress, kName, true));
  // Not asked to become the default, and the store was not empty.
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "00000002");

  const std::vector<std::string> lines = log.Lines();
  const std::vector<std::string> head(lines.begin(), lines.begin() + 9);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "GetDefAcct Test Result: 0",
                      "Result: 00000002",
                      "GetAcctAddr Test Result: 0",
                      "Result: jane@tessaline.net",
                      "Starting Outlook Express configuration...",
                      "",
                      // No per-account lines in the automatic mode.
                      "Searching for existing jane@tessaline.net account ... ",
                      "...not found. Creating new account.",
                      "",
                  }));
  EXPECT_EQ(lines[11], "Account Name: Tess-jane@tessaline.net");
  EXPECT_EQ(lines.back(), "Writing at RegKey: " + Account("Tess-jane@tessaline.net"));
}

TEST_F(OutlookExpressAutomaticTest, AnExistingPrefixedAccountEndsTheRunOrIsReset) {
  AddAccount("00000001", kAddress, kName);
  AddAccount("Tess-jane@tessaline.net", kAddress, "Old Name");
  fake.SetText(kHkcu, kStore, "Default Mail Account", "00000001");

  auto quitting = Prepare("", false);
  EXPECT_EQ(quitting->Configure(), 6);
  EXPECT_EQ(log.Lines().back(), "...found. Quitting.");
  EXPECT_EQ(fake.Text(kHkcu, Account("Tess-jane@tessaline.net"), "SMTP Display Name"), "Old Name");

  auto resetting = Prepare("", true);
  EXPECT_EQ(resetting->Configure(), 0);
  EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts).size(), 2u);
  // Values already there keep their place in the key; compare them as a set.
  std::vector<std::string> written = Values("Tess-jane@tessaline.net");
  std::vector<std::string> expected = ExpectedValues("Tess-jane@tessaline.net", kAddress, kName, true);
  std::sort(written.begin(), written.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(written, expected);
}

TEST_F(OutlookExpressAutomaticTest, ThePrefixedNameInOtherLetterCaseIsTheSameAccount) {
  AddAccount("00000001", kAddress, kName);
  AddAccount("TESS-JANE@TESSALINE.NET", kAddress, "Old Name");
  fake.SetText(kHkcu, kStore, "Default Mail Account", "00000001");
  auto configurator = Prepare("", false);
  EXPECT_EQ(configurator->Configure(), 6);
  EXPECT_EQ(fake.Text(kHkcu, Account("TESS-JANE@TESSALINE.NET"), "SMTP Display Name"), "Old Name");
}

TEST_F(OutlookExpressAutomaticTest, FindAcctByAddrTakesTheFirstAccountInEnumerationOrder) {
  AddAccount("b-account", "jane.b@tessaline.net", "B");
  AddAccount("A-account", "jane.a@tessaline.net", "A");
  AddAccount("0-unreadable", std::string(120, 'j'));
  AddAccount("c-account", "someone@example.com", "C");

  OutlookExpressConfigurator configurator(fake.platform, Request(""));
  EXPECT_EQ(configurator.FindAcctByAddr("tessaline"), "A-account");
  EXPECT_EQ(configurator.FindAcctByAddr("example.com"), "c-account");
  // Case-sensitive; an empty text matches the first readable account.
  EXPECT_EQ(configurator.FindAcctByAddr("TESSALINE"), std::nullopt);
  EXPECT_EQ(configurator.FindAcctByAddr(""), "A-account");
  // The search line is left open for the next log output.
  EXPECT_EQ(log.text(),
            "Searching for existant tessaline account ... Searching for existant example.com "
            "account ... Searching for existant TESSALINE account ... Searching for existant  "
            "account ... ");
}

TEST_F(OutlookExpressAutomaticTest, ASearchThatMatchesNothingLeavesTheStoreAlone) {
  FakePlatform bare;  // no accounts key at all
  OutlookExpressConfigurator configurator(bare.platform, Request(""));
  EXPECT_EQ(configurator.FindAcctByAddr("jane"), std::nullopt);
  EXPECT_EQ(configurator.GetAcctAddr(std::nullopt), std::nullopt);
  EXPECT_EQ(bare.registry.Find(kHkcu, kStore), nullptr);
  EXPECT_EQ(log.text(),
            "Searching for existant jane account ... GetAcctAddr Test Result: 2\r\n");
}

TEST_F(OutlookExpressAutomaticTest, ReadersAnswerErrorForAMissingOrOverlongAddress) {
  fake.SetText(kHkcu, Account("no-address"), "SMTP Display Name", "Nobody");
  fake.SetText(kHkcu, Account("long-address"), "SMTP Email Address", std::string(100, 'a'));
  fake.SetText(kHkcu, Account("fits"), "SMTP Email Address", std::string(98, 'a') + "@");
  fake.SetText(kHkcu, Account("empty-address"), "SMTP Email Address", "");
  fake.SetText(kHkcu, Account("no-name"), "SMTP Email Address", kAddress);
  fake.SetText(kHkcu, Account("long-name"), "SMTP Display Name", std::string(100, 'n'));

  OutlookExpressConfigurator configurator(fake.platform, Request(""));
  EXPECT_EQ(configurator.GetAcctAddr("no-address"), std::nullopt);
  EXPECT_EQ(configurator.GetAcctAddr("long-address"), std::nullopt);  // 101 bytes with the NUL
  EXPECT_EQ(configurator.GetAcctAddr("fits"), std::string(98, 'a') + "@");
  EXPECT_EQ(configurator.GetAcctAddr("empty-address"), std::nullopt);
  // A missing or unreadable display name is empty, never the error text.
  EXPECT_EQ(configurator.GetAcctName("no-name"), "");
  EXPECT_EQ(configurator.GetAcctName("long-name"), "");
  EXPECT_EQ(configurator.GetAcctName("no-address"), "Nobody");
  EXPECT_EQ(configurator.GetAcctName("missing"), std::nullopt);
  // Names that are not one account key are not looked up at all.
  EXPECT_EQ(configurator.GetAcctAddr(""), std::nullopt);
  EXPECT_EQ(configurator.GetAcctName("no-name\\..\\fits"), std::nullopt);

  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(lines[0], "GetAcctAddr Test Result: 0");
  EXPECT_EQ(lines[1], "Result: *ERROR*");
  EXPECT_EQ(lines[8], "GetAcctAddr Test Result: 2");
}

TEST_F(OutlookExpressAutomaticTest, GetDefAcctWithoutTheStoreKeyOrWithoutADefault) {
  OutlookExpressConfigurator configurator(fake.platform, Request(""));
  // The store key exists (it holds the accounts key) but names no default.
  EXPECT_EQ(configurator.GetDefAcct(), std::nullopt);
  FakePlatform bare;
  OutlookExpressConfigurator on_bare(bare.platform, Request(""));
  EXPECT_EQ(on_bare.GetDefAcct(), std::nullopt);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"GetDefAcct Test Result: 0", "Result: *ERROR*",
                                                   "GetDefAcct Test Result: 2"}));
}

// ------------------------------------------------------ refusals and failures

TEST_F(OutlookExpressTest, NamesThatWouldNestOrStrayAKeyAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::string prefix;
    std::string address;
  };
  struct Shown {
    Case request;
    std::string name;  // as the log shows it
  };
  const std::vector<Shown> cases = {
      {{"", "jane\\evil@tessaline.net"}, "jane\\\\evil@tessaline.net"},
      {{"", ""}, ""},
      {{"", "jane@tessaline.net\r\nInjected"}, "jane@tessaline.net\\x0D\\x0AInjected"},
      {{"Tess\\", kAddress}, "Tess\\\\jane@tessaline.net"},
      // 100 characters with the address: no longer enumerable
      {{std::string(82, 'p'), kAddress}, std::string(82, 'p') + kAddress},
  };
  for (const auto& [c, shown] : cases) {
    CapturedLog case_log;
    const AccountRequest request{c.address, kName, true, true, true, case_log.log()};
    OutlookExpressConfigurator configurator(
        fake.platform, c.prefix.empty() ? request : testing::AutomaticRequest(request, c.prefix));
    EXPECT_EQ(configurator.Configure(), 30) << c.prefix << c.address;
    const std::vector<std::string> lines = case_log.Lines();
    ASSERT_EQ(lines.size(), 1u) << case_log.text();
    EXPECT_EQ(lines[0].rfind("Refusing account name '" + shown + "': ", 0), 0u) << lines[0];
  }
  EXPECT_TRUE(fake.Subkeys(kHkcu, kAccounts).empty());
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), std::nullopt);
}

TEST_F(OutlookExpressTest, AFailedWriteIsReportedAndPutsEveryValueBack) {
  AddAccount("00000001", kAddress, "Old Name");
  fake.SetText(kHkcu, kStore, "Default Mail Account", "other");
  testing::FailingRegistry failing(fake.registry);
  Platform platform{failing, fake.files, fake.environment, fake.processes, fake.clock, fake.uuids,
                    Windows1252(), fake.user};
  const std::vector<std::string> before = Values("00000001");

  failing.failing_values = {"Default Mail Account"};
  OutlookExpressConfigurator configurator(platform, Request(kAddress, true, true));
  EXPECT_EQ(configurator.Configure(), 7);
  EXPECT_EQ(Values("00000001"), before);
  EXPECT_EQ(fake.Text(kHkcu, kStore, "Default Mail Account"), "other");
  EXPECT_EQ(log.Lines().back(),
            "Could not write Default Mail Account (error 5). Every value was put back as it was.");

  failing.failing_values = {"SMTP Port"};
  OutlookExpressConfigurator second(platform, Request(kAddress, true, true));
  EXPECT_EQ(second.Configure(), 7);
  EXPECT_EQ(Values("00000001"), before);
}

TEST_F(OutlookExpressTest, AFailedWriteOfANewAccountLeavesNoKeyBehind) {
  // A key left behind empty would be found by name on the next run, which
  // would then skip the account it never got (status 5).
  AddAccount("00000001", "other@example.org");
  for (const char* failing : {"Account Name", "SMTP Port", "Default Mail Account"}) {
    SCOPED_TRACE(failing);
    testing::FailingRegistry registry(fake.registry);
    Platform platform{registry, fake.files, fake.environment, fake.processes, fake.clock,
                      fake.uuids, Windows1252(), fake.user};
    const std::vector<std::string> keys = fake.Subkeys(kHkcu, kAccounts);
    const std::vector<std::string> store = fake.Subkeys(kHkcu, kStore);

    registry.failing_values = {failing};
    OutlookExpressConfigurator failed(platform, Request(kAddress, true));
    EXPECT_EQ(failed.Configure(), 7);
    EXPECT_EQ(fake.Subkeys(kHkcu, kAccounts), keys);
    EXPECT_EQ(fake.Subkeys(kHkcu, kStore), store);
    EXPECT_FALSE(fake.Text(kHkcu, kStore, "Default Mail Account"));

    registry.failing_values.clear();
    OutlookExpressConfigurator again(platform, Request(kAddress, true));
    EXPECT_EQ(again.Configure(), 0);
    EXPECT_EQ(fake.registry.DeleteKey(kHkcu, Account(kAddress)), 0);
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(fake.registry.Open(kHkcu, kStore, RegAccess::All, key), 0);
    EXPECT_EQ(key->DeleteValue("Default Mail Account"), 0);
  }
}

}  // namespace
}  // namespace quillbank
