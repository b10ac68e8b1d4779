// The named lines of an account and the reset's choice of lines, called
// directly on prefs.js text.
#include <gtest/gtest.h>

#include <set>

#include "clients/thunderbird/thunderbird_rewrite.h"
#include "env/text_file.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

using thunderbird::AccountBlock;
using thunderbird::AccountPref;
using thunderbird::AccountValues;
using thunderbird::Designations;

TEST(ThunderbirdAccountBlock, EveryNamedLineSetsItsOwnKey) {
  const AccountBlock block(AccountValues("jane@example.com", "Jane Doe", true),
                           {"4", "5", "6", "smtp7"});
  std::set<std::string> keys;
  for (std::size_t n = 0; n < thunderbird::kAccountPrefCount; ++n) {
    const auto pref = static_cast<AccountPref>(n);
    const std::optional<thunderbird::Pref> call = thunderbird::ParsePref(block.Line(pref));
    ASSERT_TRUE(call) << "line " << n << ": " << block.Line(pref);
    EXPECT_EQ(call->key, block.Key(pref)) << "line " << n;
    EXPECT_TRUE(keys.insert(block.Key(pref)).second) << "two lines set " << block.Key(pref);
  }
  // The lines outside the fresh set, which no other test logs.
  EXPECT_EQ(block.Line(AccountPref::kSocketType), "user_pref(\"mail.server.server6.socketType\", 3);");
  EXPECT_EQ(block.Line(AccountPref::kRealHostname),
            "user_pref(\"mail.server.server6.realhostname\", \"secure.tessaline.net\");");
  EXPECT_EQ(block.Line(AccountPref::kSmtpRealHostname),
            "user_pref(\"mail.smtpserver.smtp7.realhostname\", \"secure.tessaline.net\");");
  EXPECT_EQ(block.FreshSet().size(), thunderbird::kFreshSetSize);
  EXPECT_EQ(block.FreshSet().back(), block.Line(AccountPref::kDefaultSmtp));
}

// Resets identity 1 of `prefs` without making it the default.
Lines Reset(const Lines& prefs, Designations& names) {
  const std::string text = Crlf(prefs);
  const AccountValues values("jane@example.com", "Jane Doe", true);
  return testing::LinesOf(
      thunderbird::ResetContent(thunderbird::PrefsLines(text), values, "1", false, names).Joined());
}

const char* const kIdentities = "user_pref(\"mail.account.account3.identities\", \"id1\");";
const char* const kServer = "user_pref(\"mail.account.account3.server\", \"server2\");";
const char* const kOldName = "user_pref(\"mail.identity.id1.fullName\", \"Old\");";
const char* const kNewName = "user_pref(\"mail.identity.id1.fullName\", \"Jane Doe\");";
const char* const kOldSmtpHost = "user_pref(\"mail.smtpserver.smtp4.hostname\", \"smtp.old\");";
const char* const kNewSmtpHost =
    "user_pref(\"mail.smtpserver.smtp4.hostname\", \"secure.tessaline.net\");";
const char* const kAuth = "user_pref(\"mail.smtpserver.smtp4.auth_method\", 1);";
const char* const kPort = "user_pref(\"mail.smtpserver.smtp4.port\", 465);";
const char* const kTrySsl = "user_pref(\"mail.smtpserver.smtp4.try_ssl\", 3);";
const char* const kOwnSmtp = "user_pref(\"mail.identity.id1.smtpServer\", \"smtp4\");";

TEST(ThunderbirdResetLines, OnlyTheLinesOfTheAccountFoundAreReplaced) {
  struct Case {
    const char* what;
    Lines prefs;
    Lines expected;
    Designations names;
  };
  const Case cases[] = {
      {"the line after the identities line is kept even when it is a setting",
       {kIdentities, kOldName, kServer, kOldName},
       {kIdentities, kOldName, kServer, kNewName},
       {"0", "1", "", ""}},
      {"an outgoing server's lines before the identity names it are kept",
       {kIdentities, kServer, kOldSmtpHost, kOwnSmtp, kOldSmtpHost},
       {kIdentities, kServer, kOldSmtpHost, kOwnSmtp, kNewSmtpHost, kAuth, kPort, kTrySsl},
       {"3", "1", "2", "smtp4"}},
      {"a smtpServer value of just \"smtp\" names no outgoing server",
       {kIdentities, kServer, "user_pref(\"mail.identity.id1.smtpServer\", \"smtp\");",
        "user_pref(\"mail.smtpserver.smtp.hostname\", \"smtp.old\");"},
       {kIdentities, kServer, "user_pref(\"mail.identity.id1.smtpServer\", \"smtp\");",
        "user_pref(\"mail.smtpserver.smtp.hostname\", \"smtp.old\");"},
       {"3", "1", "2", ""}},
      {"settings the outgoing server has are not added again",
       {kIdentities, kServer, kOwnSmtp, "user_pref(\"mail.smtpserver.smtp4.port\", 25);"},
       {kIdentities, kServer, kOwnSmtp, kPort, kAuth, kTrySsl},
       {"3", "1", "2", "smtp4"}},
      {"without the identity's account nothing changes",
       {"user_pref(\"mail.account.account3.identities\", \"id2,id1\");", kServer, kOldName},
       {"user_pref(\"mail.account.account3.identities\", \"id2,id1\");", kServer, kOldName},
       {"0", "1", "", ""}},
  };
  for (const Case& c : cases) {
    Designations names;
    EXPECT_EQ(Reset(c.prefs, names), c.expected) << c.what;
    EXPECT_EQ(names.account, c.names.account) << c.what;
    EXPECT_EQ(names.identity, c.names.identity) << c.what;
    EXPECT_EQ(names.server, c.names.server) << c.what;
    EXPECT_EQ(names.smtp, c.names.smtp) << c.what;
  }
}

// A last line without a line end keeps its bytes and gets one before the
// new lines, whatever character it ends in.
TEST(FreshContentTest, ALastLineWithoutALineEndIsEndedNotJoined) {
  const AccountValues values("jane@example.com", "Jane Doe", true);
  for (const std::string& last : {std::string("// x"), std::string("// x\0", 5)}) {
    const std::string text = "// first\r\n" + last;
    const std::string written =
        thunderbird::FreshContent(thunderbird::PrefsLines(text), values).Joined();
    EXPECT_EQ(written.substr(0, text.size() + 2), text + "\r\n");
  }
}

}  // namespace
}  // namespace quillbank::thunderbird_test
