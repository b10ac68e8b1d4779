// The automatic mode's readers on prefs.js: which account is the default,
// which one a search finds, what its address and name are, and the one log
// line each reader writes. Reading changes no file.
#include <gtest/gtest.h>

#include <optional>

#include "clients/thunderbird/thunderbird_client.h"
#include "clients/thunderbird/thunderbird_prefs.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

// Local Folders (account1), jane (account2) and a work account (account3)
// with two identities, whose first one has an escaped name.
Lines Accounts(const std::string& default_line) {
  Lines lines = {
      "user_pref(\"mail.account.account1.server\", \"server1\");",
      "user_pref(\"mail.account.account2.identities\", \"id1\");",
      "user_pref(\"mail.account.account2.server\", \"server2\");",
      "user_pref(\"mail.account.account3.identities\", \"id2, id3\");",
      "user_pref(\"mail.account.account3.server\", \"server3\");",
      "user_pref(\"mail.accountmanager.accounts\", \"account1,account2,account3\");",
      "user_pref(\"mail.identity.id1.fullName\", \"Jane Doe\");",
      "user_pref(\"mail.identity.id1.useremail\", \"jane@example.com\");",
      "user_pref(\"mail.identity.id2.fullName\", \"J\\u00fcrgen \\\"Work\\\"\");",
      "user_pref(\"mail.identity.id2.useremail\", \"old@work.example\");",
      "user_pref(\"mail.identity.id2.useremail\", \"juergen@work.example\");",
      "user_pref(\"mail.identity.id3.useremail\", \"other@work.example\");",
      "user_pref(\"mail.server.server1.type\", \"none\");",
      "user_pref(\"mail.server.server2.type\", \"pop3\");",
      "user_pref(\"mail.server.server3.type\", \"imap\");"};
  if (!default_line.empty()) {
    lines.push_back("user_pref(\"mail.accountmanager.defaultaccount\", \"" + default_line + "\");");
  }
  return lines;
}

struct ReaderCase {
  const char* what;
  std::optional<std::string> default_account;  // none: the user has no profile at all
  std::optional<std::string> search;           // none: read the default account
  std::optional<std::string> key, address, name;
  Lines log;  // the readers' lines
};

const ReaderCase kCases[] = {
    {"the named default", "account3", std::nullopt, "account3", "juergen@work.example",
     "J\xFCrgen \"Work\"",
     {"GetDefAcct Result (mail.accountmanager.defaultaccount): account3",
      "GetAcctAddr Result (useremail of id2): juergen@work.example",
      "GetAcctName Result (fullName of id2): J\xFCrgen \"Work\""}},
    {"without a default line, the first account that holds mail", "", std::nullopt, "account2",
     "jane@example.com", "Jane Doe",
     {"GetDefAcct Result (first mail account of mail.accountmanager.accounts): account2",
      "GetAcctAddr Result (useremail of id1): jane@example.com",
      "GetAcctName Result (fullName of id1): Jane Doe"}},
    {"a search by part of an address, in list order", "account3", "example", "account2",
     "jane@example.com", "Jane Doe",
     {"FindAcctByAddr Result (useremail containing example): account2",
      "GetAcctAddr Result (useremail of id1): jane@example.com",
      "GetAcctName Result (fullName of id1): Jane Doe"}},
    {"a search in which case counts", "account3", "Jane", std::nullopt, std::nullopt, std::nullopt,
     {"FindAcctByAddr Result (useremail containing Jane): *ERROR*",
      "GetAcctAddr Result (useremail of no account): *ERROR*",
      "GetAcctName Result (fullName of no account): *ERROR*"}},
    {"only an account's first identity is searched", "account3", "other@", std::nullopt,
     std::nullopt, std::nullopt,
     {"FindAcctByAddr Result (useremail containing other@): *ERROR*",
      "GetAcctAddr Result (useremail of no account): *ERROR*",
      "GetAcctName Result (fullName of no account): *ERROR*"}},
    {"a default that names a missing account", "account9", std::nullopt, "account9", std::nullopt,
     std::nullopt,
     {"GetDefAcct Result (mail.accountmanager.defaultaccount): account9",
      "GetAcctAddr Result (useremail of account9): *ERROR*",
      "GetAcctName Result (fullName of account9): *ERROR*"}},
    {"a default that names Local Folders", "account1", std::nullopt, "account1", std::nullopt,
     std::nullopt,
     {"GetDefAcct Result (mail.accountmanager.defaultaccount): account1",
      "GetAcctAddr Result (useremail of account1): *ERROR*",
      "GetAcctName Result (fullName of account1): *ERROR*"}},
    {"a user who never ran Thunderbird", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
     std::nullopt,
     {"GetDefAcct Result (mail.accountmanager.defaultaccount): *ERROR*",
      "GetAcctAddr Result (useremail of no account): *ERROR*",
      "GetAcctName Result (fullName of no account): *ERROR*"}},
};

class ThunderbirdReadersTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ThunderbirdReadersTest, ReadsTheAccountAndLogsOneLinePerReader) {
  const ReaderCase& c = GetParam();
  ThunderbirdUser user;
  if (c.default_account) user.WithProfile(Accounts(*c.default_account));
  const std::vector<std::string> files_before = user.fake.files.AllFiles();
  const std::string prefs_before = user.fake.files.ReadFile(kPrefs).value_or("");

  AccountRequest request{"", "", false, false, true, user.log.log()};
  ThunderbirdConfigurator readers(user.fake.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder));
  const std::optional<std::string> key =
      c.search ? readers.FindAcctByAddr(*c.search) : readers.GetDefAcct();
  EXPECT_EQ(key, c.key);
  EXPECT_EQ(readers.GetAcctAddr(key), c.address);
  EXPECT_EQ(readers.GetAcctName(key), c.name);

  Lines reader_lines;
  for (const std::string& line : user.log.Lines()) {
    if (line.find(" Result (") != std::string::npos) reader_lines.push_back(line);
  }
  EXPECT_EQ(reader_lines, c.log);
  EXPECT_EQ(user.fake.files.AllFiles(), files_before);
  EXPECT_EQ(user.fake.files.ReadFile(kPrefs).value_or(""), prefs_before);
}

INSTANTIATE_TEST_SUITE_P(Cases, ThunderbirdReadersTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST(ThunderbirdUnescape, TurnsAStringBodyIntoUtf8) {
  const struct {
    const char* body;
    std::optional<std::string> text;
  } cases[] = {
      {"plain", "plain"},
      {"a\\\"b\\\\c\\'", "a\"b\\c'"},
      {"J\\u00FCrgen\\x41\\n", "J\xC3\xBCrgenA\n"},
      {"\\ud83d\\ude00", "\xF0\x9F\x98\x80"},
      {"\\ud83d alone", std::nullopt},
      {"\\ude00", std::nullopt},
      {"\\u00f", std::nullopt},
      {"\\xG1", std::nullopt},
      {"ends\\", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(thunderbird::UnescapeJsString(c.body), c.text) << c.body;
}

// The copy is named by the prefix and the address; a second run finds it by
// that name, and a reset with overwrite touches the copy, never the original.
TEST(ThunderbirdAutomaticCopy, IsNamedByThePrefixAndFoundAgainByThatName) {
  ThunderbirdUser user;
  user.WithProfile(Accounts("account2"));
  auto run = [&](const std::string& prefix, bool overwrite) {
    AccountRequest request{"jane@example.com", "Jane Doe", false, overwrite, true, user.log.log()};
    ThunderbirdConfigurator copy(user.fake.platform, testing::AutomaticRequest(request, prefix),
                                 ThunderbirdClient().site(SystemKind::MachineFolder));
    return copy.Configure();
  };
  ASSERT_EQ(run("Tess \"A\" ", false), status::kSuccess);
  const std::string written = user.fake.files.ReadFile(kPrefs).value_or("");
  EXPECT_NE(written.find("user_pref(\"mail.server.server4.name\", \"Tess \\\"A\\\" jane@example.com\");"),
            std::string::npos)
      << written;
  for (const std::string& line : Accounts("account2")) {
    // The list of accounts is the one line the copy joins.
    if (line.find(".accountmanager.accounts") != std::string::npos) continue;
    EXPECT_NE(written.find(line + "\r\n"), std::string::npos) << "changed: " << line;
  }

  EXPECT_EQ(run("Tess \"A\" ", false), status::kAlreadyExists);
  EXPECT_EQ(user.fake.files.ReadFile(kPrefs), written);
  ASSERT_EQ(run("tess \"a\" ", true), status::kSuccess);
  const std::string reset = user.fake.files.ReadFile(kPrefs).value_or("");
  EXPECT_EQ(reset, written) << "a reset of the untouched copy rewrites the same lines";

  EXPECT_EQ(run("Tess\t", false), status::kUnsafeInput);
  EXPECT_EQ(user.fake.files.ReadFile(kPrefs), written);
}

// Thunderbird loads one account per server and user name: an account that
// is already the provider's is not copied, with or without overwrite.
TEST(ThunderbirdAutomaticCopy, IsNotMadeOfAnAccountOnTheProvidersOwnServer) {
  ThunderbirdUser user;
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
  const std::string prefs =
      std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default\\prefs.js";
  const std::optional<std::string> before = user.fake.files.ReadFile(prefs);
  for (const bool overwrite : {false, true}) {
    AccountRequest request{"jane@example.com", "Jane Doe", false, overwrite, true, user.log.log()};
    ThunderbirdConfigurator copy(user.fake.platform, testing::AutomaticRequest(request, "Tessaline "),
                                 ThunderbirdClient().site(SystemKind::MachineFolder));
    EXPECT_EQ(copy.Configure(), status::kAlreadyExists);
    EXPECT_EQ(user.fake.files.ReadFile(prefs), before);
  }
  EXPECT_EQ(user.log.Lines().back(),
            "Searching for existant Tessaline jane@example.com account ...  found. account2 uses the "
            "same server and user name, so Thunderbird would not load a copy. No changes will be made.");
}

}  // namespace
}  // namespace quillbank::thunderbird_test
