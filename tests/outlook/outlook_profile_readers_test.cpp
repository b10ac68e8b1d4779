// The readers the automatic mode copies an Outlook profile account with, and
// the store's encodings of key names, list entries, text and the counter.
#include <string>
#include <vector>

#include "core/configurator.h"
#include "tests/outlook/profile_store_fixture.h"

namespace quillbank::testing {
namespace {

using namespace outlook_profile;

class ReadersTest : public ProfileStoreTest {
 protected:
  ReadersTest() {
    SeedStore({0x1a, 0, 0, 0, 1, 0, 0, 0}, 27);
    SeedAccount("00000001", "first@tessaline.net", "First");
    SeedAccount("0000001a", "jane@tessaline.net", "Jane Doe");
    SeedAccount("Settings", "settings@tessaline.net");
  }
  std::unique_ptr<OutlookProfileConfigurator> configurator_ = Make(Request("", ""));

  AccountRequest Request(const std::string& address, const std::string& name) {
    return AccountRequest{address, name, false, false, true, log_.log()};
  }
};

TEST_F(ReadersTest, DefaultAccountIsFirstListEntry) {
  const std::vector<std::string> before = Snapshot();
  EXPECT_EQ(configurator_->GetDefAcct(), "0000001a");
  EXPECT_EQ(configurator_->GetAcctAddr("0000001a"), "jane@tessaline.net");
  EXPECT_EQ(configurator_->GetAcctName("0000001a"), "Jane Doe");
  // Readers neither log nor change anything.
  EXPECT_EQ(log_.text(), "");
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ReadersTest, FindAcctByAddrTakesFirstAccountHoldingText) {
  EXPECT_EQ(configurator_->FindAcctByAddr("@tessaline.net"), "00000001");
  EXPECT_EQ(configurator_->FindAcctByAddr("jane@"), "0000001a");
  EXPECT_EQ(configurator_->FindAcctByAddr("JANE@"), std::nullopt);
  // A key not named by a number is no account.
  EXPECT_EQ(configurator_->FindAcctByAddr("settings@"), std::nullopt);
}

TEST_F(ReadersTest, MissingListOrProfileGivesError) {
  fake_.registry.Find(kHkcu, Store())->DeleteValue(Windows1252().Widen(kAccountListValue));
  EXPECT_EQ(configurator_->GetDefAcct(), std::nullopt);
  fake_.SetBinary(kHkcu, Store(), kAccountListValue, {});
  EXPECT_EQ(configurator_->GetDefAcct(), std::nullopt);
  fake_.SetBinary(kHkcu, Store(), kAccountListValue, {0x1a, 0});
  EXPECT_EQ(configurator_->GetDefAcct(), std::nullopt);

  // Without "DefaultProfile" no profile is the default: the fallback profile
  // is not read either.
  SeedStore({1, 0, 0, 0}, 2, "Outlook");
  SeedAccount("00000001", "fallback@tessaline.net", "Fallback", "", "Outlook");
  fake_.registry.Find(kHkcu, kProfilesKey)->DeleteValue(u"DefaultProfile");
  EXPECT_EQ(configurator_->GetDefAcct(), std::nullopt);
  EXPECT_EQ(configurator_->FindAcctByAddr("@"), std::nullopt);
  EXPECT_EQ(configurator_->GetAcctAddr("00000001"), std::nullopt);
  EXPECT_EQ(configurator_->GetAcctName("00000001"), std::nullopt);
}

TEST_F(ReadersTest, AddressThatCannotBeReadIsNeverCopied) {
  // Missing, empty, longer than 100 bytes, or beyond narrow text.
  fake_.SetBinary(kHkcu, Account("00000002"), "Display Name", Utf16("No Mail"));
  fake_.SetBinary(kHkcu, Account("00000003"), "Email", Utf16(""));
  fake_.SetBinary(kHkcu, Account("00000004"), "Email", Utf16(std::string(50, 'a')));
  fake_.SetBinary(kHkcu, Account("00000005"), "Email", {'j', 0, 0x41, 0x01, '@', 0, 0, 0});
  for (const char* key : {"00000002", "00000003", "00000004", "00000005", "00000099"}) {
    EXPECT_EQ(configurator_->GetAcctAddr(key), std::nullopt) << key;
  }
  EXPECT_EQ(configurator_->GetAcctName("00000002"), "No Mail");
  EXPECT_EQ(configurator_->GetAcctName("00000003"), "");
  EXPECT_EQ(configurator_->GetAcctName("00000099"), std::nullopt);
}

TEST_F(ReadersTest, KeyNamesOtherThanAccountNumbersOpenNothing) {
  fake_.SetBinary(kHkcu, Account("00000001") + "Inner\\", "Email", Utf16("inner@tessaline.net"));
  fake_.SetBinary(kHkcu, Store(), "Email", Utf16("store@tessaline.net"));
  for (const char* key : {"", "Settings", "00000001\\Inner", "..\\0000001a", kReaderError}) {
    EXPECT_EQ(configurator_->GetAcctAddr(key), std::nullopt) << key;
    EXPECT_EQ(configurator_->GetAcctName(key), std::nullopt) << key;
  }
}

// ------------------------------------------------------------- encodings

TEST(ProfileStoreEncodingTest, AccountKeyNamesAndEntries) {
  EXPECT_EQ(AccountKeyName(10), "0000000a");
  EXPECT_EQ(AccountKeyName(0xfedcba98), "fedcba98");
  EXPECT_EQ(AccountNumberOf("0000001a"), 26u);
  EXPECT_EQ(AccountNumberOf("0000001A"), 26u);
  for (const char* name : {"1a", "0000001a0", "0000001g", "Settings", ""}) {
    EXPECT_FALSE(AccountNumberOf(name)) << name;
  }
  EXPECT_EQ(ListEntry(0x0a0b0c0d), (Bytes{0x0d, 0x0c, 0x0b, 0x0a}));
  EXPECT_EQ(DecodeAccountList({1, 0, 0, 0, 0x1a, 0, 0, 0x80}),
            (std::vector<std::uint32_t>{1, 0x8000001a}));
  EXPECT_FALSE(DecodeAccountList({1, 0, 0}));
}

TEST(ProfileStoreEncodingTest, TextIsWidenedThroughTheCodePage) {
  const CodePage& cp = Windows1252();
  // 0x80 is the euro sign (U+20AC), 0xEB an e with diaeresis.
  EXPECT_EQ(EncodeText(cp, "Zo\xEB\x80"), (Bytes{'Z', 0, 'o', 0, 0xEB, 0, 0xAC, 0x20, 0, 0}));
  EXPECT_EQ(EncodeText(cp, ""), (Bytes{0, 0}));
  EXPECT_EQ(DecodeText(cp, EncodeText(cp, "Zo\xEB\x80")), "Zo\xEB\x80");
  // Up to the first zero unit; an odd last byte is no unit.
  EXPECT_EQ(DecodeText(cp, {'a', 0, 0, 0, 'b', 0}), "a");
  EXPECT_EQ(DecodeText(cp, {'a', 0, 'b'}), "a");
  // U+0141 and U+0080 have no byte in Windows-1252; the low byte is not taken.
  bool lossless = true;
  EXPECT_EQ(DecodeText(cp, {'a', 0, 0x41, 0x01, 0x80, 0}, &lossless), "a??");
  EXPECT_FALSE(lossless);
}

TEST(ProfileStoreEncodingTest, ChangeCounterCarries) {
  EXPECT_EQ(NextChangeVer({}), (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(NextChangeVer({0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0}), (Bytes{0, 0, 0, 0, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace quillbank::testing
