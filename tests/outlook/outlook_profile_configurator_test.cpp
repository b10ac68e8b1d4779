// Outlook 2002-2007 profile accounts in an in-memory registry: new accounts
// and their numbers, the account list and change counter, accounts found and
// reset, the automatic mode, the statuses that stop a run, and the log.
#include <string>
#include <vector>

#include "tests/outlook/profile_store_fixture.h"

namespace quillbank::testing {
namespace {

using outlook_profile::kAccountListValue;
using outlook_profile::kLastChangeVerValue;

class ConfigureTest : public ProfileStoreTest {};

TEST_F(ConfigureTest, NewAccountTakesNextNumberAndIsListedLast) {
  SeedStore({1, 0, 0, 0, 2, 0, 0, 0}, 3);
  SeedAccount("00000001", "first@example.org");
  SeedAccount("00000002", "second@example.org");

  ASSERT_EQ(Make(Request())->Configure(), 0);

  EXPECT_EQ(List(), (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
  EXPECT_EQ(NextId(), 4u);
  EXPECT_EQ(Binary(Store(), kLastChangeVerValue), (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));

  // The thirteen values, with their types and bytes.
  const std::string key = Account("00000003");
  std::vector<std::string> values;
  DescribeNode(*fake_.registry.Find(kHkcu, key), "", values);
  auto utf16 = [](const std::string& name, const std::string& text) {
    std::string line = "  " + name + "=3:";
    for (const std::uint8_t byte : Utf16(text)) line += " " + std::to_string(byte);
    return line;
  };
  std::string clsid = "  clsid=1:";
  for (const char c : std::string("{ED475411-B0D6-11D2-8C3B-00104B2A6676}")) {
    clsid += " " + std::to_string(static_cast<int>(c));
  }
  clsid += " 0";
  EXPECT_EQ(values, (std::vector<std::string>{
                        "[]",
                        utf16("Account Name", kAddress),
                        clsid,
                        utf16("Display Name", kDisplayName),
                        utf16("Email", kAddress),
                        "  Leave on Server=4: 0 0 0 0",
                        "  POP3 Port=4: 227 3 0 0",
                        utf16("POP3 Server", "secure.tessaline.net"),
                        "  POP3 Use SSL=4: 1 0 0 0",
                        utf16("POP3 User", kAddress),
                        "  SMTP Port=4: 209 1 0 0",
                        "  SMTP Use Auth=4: 1 0 0 0",
                        utf16("SMTP Server", "secure.tessaline.net"),
                        "  SMTP Use SSL=4: 1 0 0 0",
                    }));

  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{
                              "Starting Outlook configuration...",
                              "",
                              "Searching for existant jane@tessaline.net account ... not found. "
                              "Creating new account.",
                              "",
                              "The following settings were written/overwritten in the system "
                              "registry:",
                              "",
                              "Account Name: jane@tessaline.net",
                              "clsid: {ED475411-B0D6-11D2-8C3B-00104B2A6676}",
                              "Display Name: Jane Doe",
                              "Email: jane@tessaline.net",
                              "Leave on Server: 0",
                              "POP3 Port: 995",
                              "POP3 Server: secure.tessaline.net",
                              "POP3 Use SSL: 1",
                              "POP3 User: jane@tessaline.net",
                              "SMTP Port: 465",
                              "SMTP Server: secure.tessaline.net",
                              "SMTP Use SSL: 1",
                              "",
                          }));
}

TEST_F(ConfigureTest, NewDefaultAccountIsListedFirstAndPlainServersWithoutSsl) {
  SeedStore({1, 0, 0, 0, 2, 0, 0, 0}, 3);
  SeedAccount("00000001", "first@example.org");
  SeedAccount("00000002", "second@example.org");

  ASSERT_EQ(Make(Request(/*make_default=*/true, false, /*ssl=*/false))->Configure(), 0);

  EXPECT_EQ(List(), (Bytes{3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(NextId(), 4u);
  EXPECT_EQ(Text16(Account("00000003"), "POP3 Server"), "pop.tessaline.net");
  EXPECT_EQ(Text16(Account("00000003"), "SMTP Server"), "smtp.tessaline.net");
  EXPECT_EQ(fake_.Dword(kHkcu, Account("00000003"), "POP3 Port"), 110u);
  EXPECT_EQ(fake_.Dword(kHkcu, Account("00000003"), "SMTP Port"), 587u);
  EXPECT_EQ(fake_.Dword(kHkcu, Account("00000003"), "POP3 Use SSL"), 0u);
  EXPECT_EQ(fake_.Dword(kHkcu, Account("00000003"), "SMTP Use SSL"), 0u);
}

TEST_F(ConfigureTest, AccountNumberIsLowerCaseHexKeyAndLittleEndianEntry) {
  SeedStore({}, 26);

  ASSERT_EQ(Make(Request())->Configure(), 0);

  EXPECT_EQ(fake_.Subkeys(kHkcu, Store()), (std::vector<std::string>{"0000001a"}));
  EXPECT_EQ(List(), (Bytes{0x1a, 0, 0, 0}));
  EXPECT_EQ(NextId(), 27u);
}

TEST_F(ConfigureTest, ChangeCounterIsCountedUpAsEightBytes) {
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{0x05, 0, 0, 0, 0, 0, 0, 0}, {0x06, 0, 0, 0, 0, 0, 0, 0}},
      {{0x7f, 0x01, 0, 0, 0, 0, 0, 0}, {0x80, 0x01, 0, 0, 0, 0, 0, 0}},
      {{0xff, 0xff}, {0, 0, 0x01, 0, 0, 0, 0, 0}},
  };
  for (const auto& [before, after] : cases) {
    FakePlatform fake;
    fake.SetText(kHkcu, outlook_profile::kProfilesKey, "DefaultProfile", kProfileName);
    fake.SetBinary(kHkcu, Store(), kLastChangeVerValue, before);
    CapturedLog log;
    OutlookProfileConfigurator configurator(
        fake.platform, AccountRequest{kAddress, kDisplayName, false, false, true, log.log()});
    ASSERT_EQ(configurator.Configure(), 0);
    EXPECT_EQ(fake.Value(kHkcu, Store(), kLastChangeVerValue)->data, after);
  }
}

// An account whose "Email" differs only in case is the same account.
TEST_F(ConfigureTest, FoundAccountIsResetInPlaceOrLeftAlone) {
  SeedStore({1, 0, 0, 0, 2, 0, 0, 0}, 3);
  SeedAccount("00000001", "first@example.org");
  SeedAccount("00000002", "Jane@Tessaline.NET", "Old Name");
  const std::vector<std::string> before = Snapshot();

  EXPECT_EQ(Make(Request(false, /*overwrite=*/false))->Configure(), 5);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(log_.Lines().back(),
            "Searching for existant jane@tessaline.net account ...  found. No changes will be "
            "made.");

  ASSERT_EQ(Make(Request(false, /*overwrite=*/true))->Configure(), 0);
  EXPECT_EQ(fake_.Subkeys(kHkcu, Store()), (std::vector<std::string>{"00000001", "00000002"}));
  EXPECT_EQ(Text16(Account("00000002"), "Email"), kAddress);
  EXPECT_EQ(Text16(Account("00000002"), "Display Name"), kDisplayName);
  EXPECT_EQ(Text16(Account("00000002"), "POP3 Server"), "secure.tessaline.net");
  EXPECT_EQ(List(), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(NextId(), 3u);
  EXPECT_EQ(Binary(Store(), kLastChangeVerValue), (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_NE(log_.text().find("account ...  found. Reseting settings to defaults.\r\n\r\n"
                             "The following settings"),
            std::string::npos);
}

// Make default on a found account: it goes first, the other mail accounts
// follow in enumeration order; keys without "Email" or without a number
// name get no entry.
TEST_F(ConfigureTest, MakeDefaultMovesFoundAccountToFront) {
  SeedStore({0x0b, 0, 0, 0, 0x03, 0, 0, 0, 0x0a, 0, 0, 0, 0x07, 0, 0, 0}, 12);
  SeedAccount("0000000b", "last@example.org");
  SeedAccount("00000003", "third@example.org");
  SeedAccount("0000000a", kAddress);
  SeedAccount("0000000C", "upper@example.org");
  fake_.SetBinary(kHkcu, Account("00000007"), "Account Name", Utf16("Directory"));  // no Email
  SeedAccount("Settings", "named@example.org");

  ASSERT_EQ(Make(Request(/*make_default=*/true, /*overwrite=*/true))->Configure(), 0);

  EXPECT_EQ(List(), (Bytes{0x0a, 0, 0, 0, 0x03, 0, 0, 0, 0x0b, 0, 0, 0, 0x0c, 0, 0, 0}));
  EXPECT_EQ(NextId(), 12u);
}

TEST_F(ConfigureTest, AutomaticModeFindsPrefixedAccountName) {
  SeedStore({1, 0, 0, 0}, 2);
  // The account the automatic mode copies from holds the bare address.
  SeedAccount("00000001", kAddress, "Jane Doe");
  auto reader = Make(Request());
  const std::optional<std::string> key = reader->GetDefAcct();
  ASSERT_EQ(key, "00000001");
  const std::string address = reader->GetAcctAddr(key).value_or(kReaderError);
  const std::string name = reader->GetAcctName(key).value_or(kReaderError);
  auto configurator = Make(
      testing::AutomaticRequest(AccountRequest{address, name, false, false, true, log_.log()}, "Tessaline - "));

  ASSERT_EQ(configurator->Configure(), 0);
  EXPECT_EQ(Text16(Account("00000002"), "Account Name"), "Tessaline - jane@tessaline.net");
  EXPECT_EQ(Text16(Account("00000002"), "Email"), kAddress);
  EXPECT_EQ(Text16(Account("00000002"), "POP3 User"), kAddress);
  EXPECT_EQ(Text16(Account("00000002"), "Display Name"), "Jane Doe");

  // A second run finds the prefixed name, whatever its case.
  fake_.SetBinary(kHkcu, Account("00000002"), "Account Name",
                  Utf16("TESSALINE - Jane@tessaline.net"));
  const std::vector<std::string> before = Snapshot();
  auto again = Make(testing::AutomaticRequest(Request(), "Tessaline - "));
  EXPECT_EQ(again->Configure(), 6);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(log_.Lines().back(),
            "Searching for existant jane@tessaline.net account ...  found. Quitting.");
}

// ------------------------------------------------------------ stopped runs

TEST_F(ConfigureTest, PickLogonProfileStopsBeforeAnyLine) {
  SeedStore({}, 1);
  fake_.SetText(kHkcu, outlook_profile::kExchangeOptionsKey, "PickLogonProfile", "1");
  const std::vector<std::string> before = Snapshot();

  EXPECT_EQ(Make(Request())->Configure(), 4);
  EXPECT_EQ(log_.text(), "");
  EXPECT_EQ(Snapshot(), before);

  fake_.SetText(kHkcu, outlook_profile::kExchangeOptionsKey, "PickLogonProfile", "0");
  EXPECT_EQ(Make(Request())->Configure(), 0);
}

TEST_F(ConfigureTest, MissingProfileKeysGiveStatusThree) {
  FakePlatform bare;
  CapturedLog log;
  OutlookProfileConfigurator no_profiles(
      bare.platform, AccountRequest{kAddress, kDisplayName, false, false, true, log.log()});
  EXPECT_EQ(no_profiles.Configure(), 3);
  EXPECT_EQ(log.text(), "");

  // The profiles key alone: neither the default nor the fallback profile has
  // an account key.
  const std::vector<std::string> before = Snapshot();
  EXPECT_EQ(Make(Request())->Configure(), 3);
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{"Starting Outlook configuration...", ""}));
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ConfigureTest, UnopenableKeysGiveStatusTwo) {
  SeedStore({}, 1);
  faulty_.failing_key = outlook_profile::kProfilesKey;
  EXPECT_EQ(MakeFaulty(Request())->Configure(), 2);

  // The default profile's key refuses, and the fallback profile is missing:
  // the fallback's answer decides.
  faulty_.failing_key = Store();
  EXPECT_EQ(MakeFaulty(Request())->Configure(), 3);

  // The fallback profile is there but refuses.
  fake_.SetText(kHkcu, outlook_profile::kProfilesKey, "DefaultProfile", "Missing");
  SeedStore({}, 1, "Outlook");
  faulty_.failing_key = Store("Outlook");
  EXPECT_EQ(MakeFaulty(Request())->Configure(), 2);

  EXPECT_EQ(fake_.Subkeys(kHkcu, Store()), std::vector<std::string>{});
  EXPECT_EQ(fake_.Subkeys(kHkcu, Store("Outlook")), std::vector<std::string>{});
}

TEST_F(ConfigureTest, FallbackProfileServesWhenDefaultProfileIsUnusable) {
  SeedStore({5, 0, 0, 0}, 6, "Outlook");
  // Missing, or naming a key below another one: only "Outlook" is used, and
  // no key is created anywhere else.
  for (const char* profile : {"Gone", "Outlook\\9375CFF0413111d3B88A00104B2A6676\\00000005", ""}) {
    fake_.SetText(kHkcu, outlook_profile::kProfilesKey, "DefaultProfile", profile);
    ASSERT_EQ(Make(Request(false, true))->Configure(), 0) << profile;
  }
  EXPECT_EQ(fake_.Subkeys(kHkcu, outlook_profile::kProfilesKey),
            (std::vector<std::string>{"Outlook"}));
  EXPECT_EQ(fake_.Subkeys(kHkcu, Store("Outlook")), (std::vector<std::string>{"00000006"}));
  EXPECT_EQ(fake_.Subkeys(kHkcu, Account("00000006", "Outlook")), std::vector<std::string>{});
  EXPECT_EQ(List("Outlook"), (Bytes{5, 0, 0, 0, 6, 0, 0, 0}));
  EXPECT_EQ(Binary(Store("Outlook"), kLastChangeVerValue), (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
}

// ------------------------------------------------ account numbers and lists

TEST_F(ConfigureTest, NumberWithoutNextAccountIdIsAboveEveryAccountInUse) {
  // No "NextAccountID" and no list: above every account key. A key not
  // named by a number is no account, whatever it holds.
  fake_.CreateKey(kHkcu, Store());
  SeedAccount("00000002", "two@example.org");
  SeedAccount("00000009", "nine@example.org");
  SeedAccount("Settings", kAddress);
  ASSERT_EQ(Make(Request())->Configure(), 0);
  EXPECT_TRUE(fake_.registry.Find(kHkcu, Account("0000000a")));
  EXPECT_EQ(List(), (Bytes{0x0a, 0, 0, 0}));
  EXPECT_EQ(NextId(), 11u);
}

TEST_F(ConfigureTest, NextAccountIdInUseIsNotReused) {
  // Taken by a key (2), or only by a list entry (4).
  SeedStore({1, 0, 0, 0, 4, 0, 0, 0}, 2);
  SeedAccount("00000001", "one@example.org");
  SeedAccount("00000002", "two@example.org");
  ASSERT_EQ(Make(Request())->Configure(), 0);
  EXPECT_EQ(List(), (Bytes{1, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0}));
  EXPECT_EQ(Text16(Account("00000002"), "Email"), "two@example.org");
  EXPECT_EQ(NextId(), 6u);
}

TEST_F(ConfigureTest, ListThatCannotGrowStopsTheRunUnchanged) {
  Bytes full;
  for (std::uint8_t n = 1; n <= 50; ++n) full.insert(full.end(), {n, 0, 0, 0});
  Bytes too_long = full;
  too_long.insert(too_long.end(), {51, 0, 0, 0});
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {full, "The account list is full (50 accounts). Nothing was written."},
      {too_long, "The account list cannot be read (error 234). Nothing was written."},
      {{1, 0, 0, 0, 2, 0},
       "The account list is damaged: its 6 bytes are not whole entries. Nothing was written."},
  };
  for (const auto& [list, line] : cases) {
    SeedStore(list, 60);
    const std::vector<std::string> before = Snapshot();
    CapturedLog log;
    OutlookProfileConfigurator configurator(
        fake_.platform, AccountRequest{kAddress, kDisplayName, false, false, true, log.log()});
    EXPECT_EQ(configurator.Configure(), 1);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(log.Lines().back(), line);
  }
}

TEST_F(ConfigureTest, RebuiltListOverFiftyAccountsStopsTheRunUnchanged) {
  SeedStore({1, 0, 0, 0}, 60);
  for (std::uint32_t n = 1; n <= 51; ++n) {
    SeedAccount(outlook_profile::AccountKeyName(n), "user" + std::to_string(n) + "@example.org");
  }
  SeedAccount(outlook_profile::AccountKeyName(52), kAddress);
  const std::vector<std::string> before = Snapshot();
  EXPECT_EQ(Make(Request(true, true))->Configure(), 1);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(log_.Lines().back(), "The account list would hold more than 50 accounts. Nothing was written.");
}

TEST_F(ConfigureTest, TooLongAccountNameIsRefusedUnchanged) {
  SeedStore({}, 1);
  const std::vector<std::string> before = Snapshot();
  const std::string address = std::string(32, 'j') + "@tessaline.net";  // 46 characters
  auto configurator = Make(testing::AutomaticRequest(Request(false, false, true, address), "Auto - "));  // 53 in all
  EXPECT_EQ(configurator->Configure(), 1);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(log_.Lines().back(), "The account name 'Auto - " + address +
                                     "' or the address is longer than 49 characters. Nothing "
                                     "was written.");

  // 49 characters still fit, and the account is found again.
  const std::string longest = std::string(35, 'j') + "@tessaline.net";
  ASSERT_EQ(Make(Request(false, false, true, longest))->Configure(), 0);
  EXPECT_EQ(Make(Request(false, false, true, longest))->Configure(), 5);
}

TEST_F(ConfigureTest, FailedWriteLeavesEveryValueAsItWas) {
  SeedStore({1, 0, 0, 0, 2, 0, 0, 0}, 3);
  fake_.SetBinary(kHkcu, Store(), kLastChangeVerValue, {9, 0, 0, 0, 0, 0, 0, 0});
  SeedAccount("00000001", "first@example.org");
  SeedAccount("00000002", kAddress, "Old Name");
  const std::vector<std::string> before = Snapshot();

  faulty_.failing_value = kLastChangeVerValue;
  EXPECT_EQ(MakeFaulty(Request(true, true))->Configure(), 7);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(log_.Lines().back(),
            "Could not write LastChangeVer (error 5). Every value was put back as it was.");
}

TEST_F(ConfigureTest, FailedWriteOfANewAccountLeavesNoKeyBehind) {
  SeedStore({1, 0, 0, 0}, 2);
  SeedAccount("00000001", "first@example.org");
  const std::vector<std::string> before = Snapshot();
  for (const char* failing : {"Account Name", "SMTP Use SSL", kAccountListValue, kLastChangeVerValue}) {
    SCOPED_TRACE(failing);
    faulty_.failing_value = failing;
    EXPECT_EQ(MakeFaulty(Request())->Configure(), 7);
    EXPECT_EQ(Snapshot(), before);
  }
  // Nothing is left that would make the next run skip the account.
  faulty_.failing_value.clear();
  EXPECT_EQ(MakeFaulty(Request())->Configure(), 0);
}

}  // namespace
}  // namespace quillbank::testing
