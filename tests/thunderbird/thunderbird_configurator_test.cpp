// prefs.js on an in-memory machine: the fresh account set, a new account
// beside existing ones, the reset of an existing one, the log, and that a run
// that fails or changes nothing leaves the file byte for byte as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "clients/thunderbird/thunderbird_client.h"
#include "tests/support/files_wrapper.h"
#include "tests/support/test_data.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

Lines Join(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::size_t Count(const Lines& lines, const std::string& text) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// The 23 lines of the fresh account set for jane, with SSL
// (thunderbird/prefs_first_account.js, a first run's prefs.js), numbered as
// a run beside other accounts numbers them: account `a`, identity `i`,
// server `s` and outgoing server `smtp`.
Lines FreshLines(const std::string& a = "2", const std::string& i = "1", const std::string& s = "2",
                 const std::string& smtp = "smtp1") {
  const std::pair<std::string, std::string> numbers[] = {
      {"account2", "account" + a}, {"id1", "id" + i}, {"server2", "server" + s}, {"smtp1", smtp}};
  Lines lines = testing::TestDataLines("thunderbird/prefs_first_account.js");
  for (std::string& line : lines) {
    std::string renumbered;
    for (std::size_t at = 0; at < line.size();) {
      bool replaced = false;
      for (const auto& [from, to] : numbers) {
        if (line.compare(at, from.size(), from) == 0) {
          renumbered += to;
          at += from.size();
          replaced = true;
          break;
        }
      }
      if (!replaced) renumbered += line[at++];
    }
    line = renumbered;
  }
  return lines;
}

// A profile with accounts 1 and 3, identities 1 and 2, servers 1 and 4, and
// one outgoing server smtp1 that belongs to the old account; `extra` lines
// follow.
Lines ExistingPrefs(const Lines& extra = {}) {
  return Join(testing::TestDataLines("thunderbird/prefs_existing_accounts.js"), extra);
}

TEST(ThunderbirdFirstRun, WritesTheProfileListAndExactlyTheFreshSet) {
  ThunderbirdUser user;
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
  const std::string prefs =
      std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default\\prefs.js";
  EXPECT_EQ(user.fake.files.ReadFile(prefs), testing::ReadTestData("thunderbird/prefs_first_account.js"));
  EXPECT_TRUE(user.fake.files.FileExists(std::string(kAppData) + "\\Thunderbird\\profiles.ini"));

  // The whole log, line by line.
  const Lines expected = Join(
      {"Starting Thunderbird configuration...", "",
       "Profile data not found. Creating in user's application data folder ... done.",
       "Profile directory not found. Creating in user's application data folder ... done.",
       "Thunderbird profile in use: " + std::string(kAppData) +
           "\\Thunderbird\\Profiles\\s8eyyog6.default (created for a first-time user)",
       "Searching for existant jane@example.com account ... not found. Creating new account.", "",
       "The following lines were written/overwritten in the Thunderbird configuration file:", ""},
      Join(FreshLines(), {""}));
  EXPECT_EQ(user.log.Lines(), expected);
}

TEST(ThunderbirdFirstRun, WithoutSslUsesThePlainServersAndNoSecureConnection) {
  ThunderbirdUser user;
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", true, false, /*use_ssl=*/false), status::kSuccess);
  const Lines lines = user.PrefsLines(
      std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default\\prefs.js");
  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[6], "user_pref(\"mail.server.server2.hostname\", \"pop.tessaline.net\");");
  EXPECT_EQ(lines[11], "user_pref(\"mail.server.server2.isSecure\", false);");
  EXPECT_EQ(lines[12], "user_pref(\"mail.server.server2.port\", 110);");
  EXPECT_EQ(lines[17], "user_pref(\"mail.smtpserver.smtp1.port\", 587);");
  EXPECT_EQ(lines[18], "user_pref(\"mail.smtpserver.smtp1.try_ssl\", 0);");
  EXPECT_EQ(lines[19], "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.tessaline.net\");");
}

TEST(ThunderbirdFreshSet, KeepsTheLinesOfAFileWithoutAccounts) {
  ThunderbirdUser user;
  const Lines old{"// Mozilla User Preferences", "", "user_pref(\"mail.rights.version\", 1);",
                  "user_pref(\"mail.account.account-1.server\", \"server9\");"};
  user.WithProfile(old);
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
  EXPECT_EQ(user.PrefsLines(), Join(old, FreshLines()));
}

TEST(ThunderbirdNewAccount, TakesTheNextNumbersAndItsOwnOutgoingServer) {
  ThunderbirdUser user;
  user.WithProfile(ExistingPrefs());
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);

  // The whole new file: the old one plus the lines the new-account steps name.
  const Lines expected{
      "// Mozilla User Preferences",
      "",
      "user_pref(\"mail.account.account4.identities\", \"id3\");",
      "user_pref(\"mail.account.account4.server\", \"server5\");",
      "user_pref(\"browser.cache.disk.capacity\", 358400);",
      "user_pref(\"mail.account.account1.server\", \"server1\");",
      "user_pref(\"mail.account.account3.identities\", \"id1,id2\");",
      "user_pref(\"mail.account.account3.server\", \"server4\");",
      "user_pref(\"mail.accountmanager.accounts\", \"account3,account1,account4\");",
      "user_pref(\"mail.accountmanager.appendix\", \"kept\");",
      "user_pref(\"mail.accountmanager.defaultaccount\", \"account3\");",
      "user_pref(\"mail.identity.id3.fullName\", \"Jane Doe\");",
      "user_pref(\"mail.identity.id3.smtpServer\", \"smtp2\");",
      "user_pref(\"mail.server.server5.hostname\", \"secure.tessaline.net\");",
      "user_pref(\"mail.server.server5.login_at_startup\", true);",
      "user_pref(\"mail.server.server5.type\", \"pop3\");",
      "user_pref(\"mail.server.server5.userName\", \"jane@example.com\");",
      "user_pref(\"mail.server.server5.name\", \"jane@example.com\");",
      "user_pref(\"mail.server.server5.isSecure\", true);",
      "user_pref(\"mail.server.server5.port\", 995);",
      "user_pref(\"mail.server.server5.socketType\", 3);",
      "user_pref(\"mail.identity.id3.useremail\", \"jane@example.com\");",
      "user_pref(\"mail.identity.id3.draft_folder\", \"mailbox://jane%40example.com@secure.tessaline.net/Drafts\");",
      "user_pref(\"mail.identity.id3.fcc_folder\", \"mailbox://jane%40example.com@secure.tessaline.net/Sent\");",
      "user_pref(\"mail.smtpserver.smtp2.auth_method\", 1);",
      "user_pref(\"mail.smtpserver.smtp2.port\", 465);",
      "user_pref(\"mail.smtpserver.smtp2.try_ssl\", 3);",
      "user_pref(\"mail.smtpserver.smtp2.hostname\", \"secure.tessaline.net\");",
      "user_pref(\"mail.smtpserver.smtp2.username\", \"jane@example.com\");",
      "user_pref(\"mail.accountmanager.localfoldersserver\", \"server1\");",
      "user_pref(\"mail.identity.id1.fullName\", \"Old Name\");",
      "user_pref(\"mail.identity.id1.smtpServer\", \"smtp1\");",
      "user_pref(\"mail.identity.id1.useremail\", \"old@isp.example\");",
      "user_pref(\"mail.identity.id2.useremail\", \"other@isp.example\");",
      "user_pref(\"mail.server.server1.hostname\", \"Local Folders\");",
      "user_pref(\"mail.server.server1.type\", \"none\");",
      "user_pref(\"mail.server.server4.hostname\", \"pop.isp.example\");",
      "user_pref(\"mail.server.server4.port\", 110);",
      "user_pref(\"mail.server.server4.type\", \"pop3\");",
      "user_pref(\"mail.smtp.defaultserver\", \"smtp1\");",
      "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.isp.example\");",
      "user_pref(\"mail.smtpserver.smtp1.port\", 25);",
      "user_pref(\"mail.smtpserver.smtp1.username\", \"old\");",
      "user_pref(\"mail.smtpservers\", \"smtp1,smtp2\");",
      "user_pref(\"mailnews.start_page_override.mstone\", \"ignore\");",
  };
  EXPECT_EQ(user.PrefsLines(), expected);

  // The log block names the numbers and the outgoing server written.
  const Lines log = user.log.Lines();
  const Lines block = Join({"", "The following lines were written/overwritten in the Thunderbird "
                                "configuration file:", ""},
                           Join(FreshLines("4", "3", "5", "smtp2"), {""}));
  ASSERT_GE(log.size(), block.size());
  EXPECT_EQ(Lines(log.end() - block.size(), log.end()), block);
}

TEST(ThunderbirdNewAccount, UsesLocalFoldersWhenAnIdentityDoes) {
  ThunderbirdUser user;
  user.WithProfile(ExistingPrefs(
      {"user_pref(\"mail.identity.id2.fcc_folder\", \"mailbox://nobody@Local%20Folders/Sent\");"}));
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
  const Lines lines = user.PrefsLines();
  EXPECT_EQ(Count(lines, "user_pref(\"mail.identity.id3.draft_folder\", \"mailbox://nobody@Local%20Folders/Drafts\");"), 1u);
  EXPECT_EQ(Count(lines, "user_pref(\"mail.identity.id3.fcc_folder\", \"mailbox://nobody@Local%20Folders/Sent\");"), 1u);
}

TEST(ThunderbirdNewAccount, MakeDefaultNamesTheNewAccountAndAMissingServerListIsCreated) {
  ThunderbirdUser user;
  Lines prefs = ExistingPrefs();
  prefs.erase(std::find(prefs.begin(), prefs.end(), "user_pref(\"mail.smtpservers\", \"smtp1\");"));
  user.WithProfile(prefs);
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", /*make_default=*/true, false), status::kSuccess);
  const Lines lines = user.PrefsLines();
  EXPECT_EQ(Count(lines, "mail.accountmanager.defaultaccount"), 1u);
  EXPECT_EQ(Count(lines, "user_pref(\"mail.accountmanager.defaultaccount\", \"account4\");"), 1u);
  EXPECT_EQ(Count(lines, "user_pref(\"mail.smtpservers\", \"smtp2\");"), 1u);
  EXPECT_EQ(lines.size(), prefs.size() + 21);  // 20 new lines and the server list
}

TEST(ThunderbirdNewAccount, EscapesTheDisplayNameAsAJavaScriptString) {
  ThunderbirdUser user;
  user.WithProfile(ExistingPrefs());
  const std::string name = "Jane \"Q\" \\ Doe\"); user_pref(\"mail.evil\", \"1";
  ASSERT_EQ(user.Run("jane@example.com", name, false, false), status::kSuccess);
  const Lines lines = user.PrefsLines();
  EXPECT_EQ(Count(lines, "user_pref(\"mail.identity.id3.fullName\", \"Jane \\\"Q\\\" \\\\ Doe\\\"); "
                         "user_pref(\\\"mail.evil\\\", \\\"1\");"),
            1u);
  EXPECT_EQ(lines.size(), ExistingPrefs().size() + 20);  // no line of its own

  // A control character would start a line of its own: refused, nothing written.
  ThunderbirdUser refused;
  refused.WithProfile(ExistingPrefs());
  EXPECT_EQ(refused.Run("jane@example.com", "Jane\r\nuser_pref(\"x\", 1);", false, false),
            status::kUnsafeInput);
  EXPECT_EQ(refused.PrefsLines(), ExistingPrefs());
}

TEST(ThunderbirdExistingAccount, FoundWithoutOverwriteChangesNothing) {
  ThunderbirdUser user;
  // Mixed case in the file and LF line ends: both must survive untouched.
  Lines prefs = ExistingPrefs({"user_pref(\"mail.identity.id2.useremail\", \"Jane@Example.COM\");"});
  std::string bytes;
  for (const std::string& line : prefs) bytes += line + "\n";
  user.WithProfile({});
  user.fake.files.Put(kPrefs, bytes);
  EXPECT_EQ(user.Run("jane@example.com", "Jane Doe", true, false), status::kAlreadyExists);
  EXPECT_EQ(user.fake.files.ReadFile(kPrefs), bytes);
  EXPECT_EQ(user.fake.files.replacements(), 0);
  EXPECT_EQ(user.log.Lines().back(),
            "Searching for existant jane@example.com account ...  found. No changes will be made.");
}

TEST(ThunderbirdExistingAccount, SecondRunWithoutOverwriteReturns5AndKeepsTheFile) {
  ThunderbirdUser user;
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
  const std::string prefs =
      std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default\\prefs.js";
  const auto written = user.fake.files.ReadFile(prefs);
  EXPECT_EQ(user.Run("JANE@example.com", "Jane Doe", false, false), status::kAlreadyExists);
  EXPECT_EQ(user.fake.files.ReadFile(prefs), written);
}

// An account of jane's at an old provider, with settings the reset replaces.
Lines JaneAccount(const Lines& smtp_server_line) {
  return Join(Join({"user_pref(\"mail.account.account2.identities\", \"id1\");",
                    "user_pref(\"mail.account.account2.server\", \"server2\");",
                    "user_pref(\"mail.account.account7.identities\", \"id12\");",
                    "user_pref(\"mail.account.account7.server\", \"server7\");",
                    "user_pref(\"mail.accountmanager.accounts\", \"account2,account7\");",
                    "user_pref(\"mail.accountmanager.defaultaccount\", \"account7\");",
                    "user_pref(\"mail.identity.id1.fullName\", \"J. Doe\");"},
                   smtp_server_line),
              {"user_pref(\"mail.identity.id1.useremail\", \"Jane@Example.com\");",
               "user_pref(\"mail.identity.id12.useremail\", \"twelve@isp.example\");",
               "user_pref(\"mail.server.server2.hostname\", \"pop.old.example\");",
               "user_pref(\"mail.server.server2.isSecure\", false);",
               "user_pref(\"mail.server.server2.port\", 110);",
               "user_pref(\"mail.server.server2.realhostname\", \"pop.old.example\");",
               "user_pref(\"mail.server.server2.socketType\", 0);",
               "user_pref(\"mail.server.server2.type\", \"imap\");",
               "user_pref(\"mail.server.server2.userName\", \"jdoe\");",
               "user_pref(\"mail.server.server7.hostname\", \"pop.isp.example\");",
               "user_pref(\"mail.smtp.defaultserver\", \"smtp3\");",
               "user_pref(\"mail.smtpserver.smtp2.hostname\", \"smtp.old.example\");",
               "user_pref(\"mail.smtpserver.smtp2.port\", 25);",
               "user_pref(\"mail.smtpserver.smtp2.username\", \"jdoe\");",
               "user_pref(\"mail.smtpserver.smtp3.hostname\", \"smtp.isp.example\");",
               "user_pref(\"mail.smtpservers\", \"smtp2,smtp3\");"});
}

TEST(ThunderbirdReset, WithSslReplacesEachOldLineAndKeepsTheRest) {
  ThunderbirdUser user;
  user.WithProfile(JaneAccount({"user_pref(\"mail.identity.id1.smtpServer\", \"smtp2\");"}));
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", /*make_default=*/true, /*overwrite=*/true),
            status::kSuccess);
  const Lines expected{
      "user_pref(\"mail.account.account2.identities\", \"id1\");",
      "user_pref(\"mail.account.account2.server\", \"server2\");",
      "user_pref(\"mail.account.account7.identities\", \"id12\");",
      "user_pref(\"mail.account.account7.server\", \"server7\");",
      "user_pref(\"mail.accountmanager.accounts\", \"account2,account7\");",
      "user_pref(\"mail.accountmanager.defaultaccount\", \"account2\");",
      "user_pref(\"mail.identity.id1.fullName\", \"Jane Doe\");",
      "user_pref(\"mail.identity.id1.smtpServer\", \"smtp2\");",
      "user_pref(\"mail.identity.id1.useremail\", \"Jane@Example.com\");",
      "user_pref(\"mail.identity.id12.useremail\", \"twelve@isp.example\");",
      "user_pref(\"mail.server.server2.hostname\", \"secure.tessaline.net\");",
      "user_pref(\"mail.server.server2.isSecure\", false);",
      "user_pref(\"mail.server.server2.port\", 995);",
      "user_pref(\"mail.server.server2.realhostname\", \"secure.tessaline.net\");",
      "user_pref(\"mail.server.server2.socketType\", 3);",
      "user_pref(\"mail.server.server2.type\", \"pop3\");",
      "user_pref(\"mail.server.server2.userName\", \"jane@example.com\");",
      "user_pref(\"mail.server.server7.hostname\", \"pop.isp.example\");",
      "user_pref(\"mail.smtp.defaultserver\", \"smtp3\");",
      "user_pref(\"mail.smtpserver.smtp2.hostname\", \"secure.tessaline.net\");",
      "user_pref(\"mail.smtpserver.smtp2.port\", 465);",
      "user_pref(\"mail.smtpserver.smtp2.username\", \"jane@example.com\");",
      "user_pref(\"mail.smtpserver.smtp3.hostname\", \"smtp.isp.example\");",
      "user_pref(\"mail.smtpservers\", \"smtp2,smtp3\");",
      "user_pref(\"mail.smtpserver.smtp2.auth_method\", 1);",
      "user_pref(\"mail.smtpserver.smtp2.try_ssl\", 3);",
  };
  EXPECT_EQ(user.PrefsLines(), expected);
  const Lines log = user.log.Lines();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Searching for existant jane@example.com account ...  found. Reseting settings to defaults."),
            log.end());
  const Lines block = Join({"The following lines were written/overwritten in the Thunderbird "
                            "configuration file:", ""},
                           FreshLines("2", "1", "2", "smtp2"));
  EXPECT_TRUE(std::search(log.begin(), log.end(), block.begin(), block.end()) != log.end());
}

TEST(ThunderbirdReset, AnIdentityWithoutItsOwnServerResetsTheDefaultServerOrNone) {
  ThunderbirdUser user;
  user.WithProfile(JaneAccount({}));
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, true), status::kSuccess);
  Lines lines = user.PrefsLines();
  EXPECT_EQ(Count(lines, "user_pref(\"mail.smtpserver.smtp3.hostname\", \"secure.tessaline.net\");"), 1u);
  EXPECT_EQ(Count(lines, "user_pref(\"mail.smtpserver.smtp3.auth_method\", 1);"), 1u);
  EXPECT_EQ(Count(lines, "smtp.old.example"), 1u);  // smtp2 is not this identity's
  EXPECT_EQ(Count(lines, "mail.smtpserver.smtp."), 0u);
  EXPECT_EQ(Count(lines, "user_pref(\"mail.accountmanager.defaultaccount\", \"account7\");"), 1u);

  // No default server with lines of its own: no outgoing server is touched.
  ThunderbirdUser none;
  Lines prefs = JaneAccount({});
  prefs.erase(std::find(prefs.begin(), prefs.end(), "user_pref(\"mail.smtp.defaultserver\", \"smtp3\");"));
  none.WithProfile(prefs);
  ASSERT_EQ(none.Run("jane@example.com", "Jane Doe", false, true), status::kSuccess);
  lines = none.PrefsLines();
  EXPECT_EQ(lines.size(), prefs.size());
  EXPECT_EQ(Count(lines, "mail.smtpserver.smtp."), 0u);
  EXPECT_EQ(Count(lines, "smtp.old.example"), 1u);
}

TEST(ThunderbirdReset, FindsTheAccountOfExactlyThisIdentity) {
  // id12 comes first and begins with "id1": it must not be taken for id1.
  ThunderbirdUser user;
  const Lines prefs{"user_pref(\"mail.account.account1.identities\", \"id12\");",
                    "user_pref(\"mail.account.account1.server\", \"server1\");",
                    "user_pref(\"mail.account.account2.identities\", \"id1\");",
                    "user_pref(\"mail.account.account2.server\", \"server2\");",
                    "user_pref(\"mail.identity.id1.useremail\", \"jane@example.com\");",
                    "user_pref(\"mail.identity.id12.useremail\", \"twelve@isp.example\");",
                    "user_pref(\"mail.server.server1.hostname\", \"pop.isp.example\");",
                    "user_pref(\"mail.server.server2.hostname\", \"pop.old.example\");"};
  user.WithProfile(prefs);
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, true), status::kSuccess);
  Lines expected = prefs;
  expected[7] = "user_pref(\"mail.server.server2.hostname\", \"secure.tessaline.net\");";
  EXPECT_EQ(user.PrefsLines(), expected);
}

TEST(ThunderbirdWriteFailure, LeavesPrefsUnchangedAndReports7WithTheReason) {
  for (const bool read_only : {false, true}) {
    ThunderbirdUser user;
    user.WithProfile(ExistingPrefs());
    const auto before = user.fake.files.ReadFile(kPrefs);
    if (read_only) {
      user.fake.files.MarkReadOnly(kPrefs);
    } else {
      user.fake.files.FailWritesEndingWith("prefs.js");
    }
    EXPECT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kWriteFailed);
    EXPECT_EQ(user.fake.files.ReadFile(kPrefs), before);
    EXPECT_EQ(user.log.Lines().back(), "Could not write " + std::string(kPrefs) +
                                           (read_only ? ": the file is read-only" : "") +
                                           ". No changes were made.");
  }
}

// MemoryFiles whose prefs.js is there but cannot be read.
class UnreadablePrefs final : public testing::FilesWrapper {
 public:
  using FilesWrapper::FilesWrapper;
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (path.size() >= 8 && path.compare(path.size() - 8, 8, "prefs.js") == 0) return std::nullopt;
    return FilesWrapper::ReadFile(path);
  }
};

TEST(ThunderbirdReadFailure, AnUnreadablePrefsFileIsNotReplacedByAFreshOne) {
  ThunderbirdUser user;
  user.WithProfile(ExistingPrefs());
  UnreadablePrefs files(user.fake.files);
  Platform platform{user.fake.registry, files, user.fake.environment, user.fake.processes,
                    user.fake.clock, user.fake.uuids, Windows1252(), user.fake.user};
  AccountRequest request{"jane@example.com", "Jane Doe", false, false, true, user.log.log()};
  EXPECT_EQ(ThunderbirdConfigurator(platform, request, ThunderbirdClient().site(SystemKind::MachineFolder)).Configure(), status::kCannotConfigure);
  EXPECT_EQ(user.PrefsLines(), ExistingPrefs());
  EXPECT_EQ(user.fake.files.replacements(), 0);
}

}  // namespace
}  // namespace quillbank::thunderbird_test
