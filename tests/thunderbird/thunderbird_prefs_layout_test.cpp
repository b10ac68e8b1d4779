// prefs.js as other programs and people leave it: any line ends, any blanks
// inside a call, comments, calls split over lines or sharing one. The lines
// the run sets change; every other line keeps its bytes and its line end.
#include <gtest/gtest.h>

#include "clients/thunderbird/thunderbird_prefs.h"
#include "env/text_file.h"
#include "tests/thunderbird/thunderbird_test_support.h"

namespace quillbank::thunderbird_test {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Joined(const Lines& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// Accounts 1 and 3, identities 1 and 2, outgoing server smtp1; `list` and
// `smtp` are the lines of the account list and the outgoing-server list.
Lines Profile(const std::string& list, const std::string& smtp) {
  return {"// Mozilla User Preferences",
          "",
          "user_pref(\"mail.account.account1.server\", \"server1\");",
          "user_pref(\"mail.account.account3.identities\", \"id1,id2\");",
          "user_pref(\"mail.account.account3.server\", \"server4\");",
          list,
          "user_pref(\"mail.accountmanager.defaultaccount\", \"account3\");",
          "user_pref(\"mail.identity.id1.fullName\", \"Old Name\");",
          "user_pref(\"mail.identity.id1.useremail\", \"old@isp.example\");",
          "user_pref(\"mail.identity.id2.useremail\", \"other@isp.example\");",
          "user_pref(\"mail.server.server4.hostname\", \"pop.isp.example\");",
          "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.isp.example\");",
          smtp};
}

constexpr const char* kList = "user_pref(\"mail.accountmanager.accounts\", \"account3,account1\");";
constexpr const char* kSmtp = "user_pref(\"mail.smtpservers\", \"smtp1\");";
constexpr const char* kNewList = "user_pref(\"mail.accountmanager.accounts\", \"account3,account1,account4\");\r\n";
constexpr const char* kNewSmtp = "user_pref(\"mail.smtpservers\", \"smtp1,smtp2\");\r\n";

struct LayoutCase {
  const char* name;
  std::string file;
  std::vector<std::string> written;  // lines the run writes, with CR LF
  std::vector<std::string> kept;     // old bytes that stay exactly once
};

TEST(ThunderbirdPrefsLayout, OnlyTheCallsTheRunSetsChange) {
  const Lines plain = Profile(kList, kSmtp);
  const std::string two_calls = std::string(kSmtp) + " user_pref(\"mail.smtp.defaultserver\", \"smtp1\");";
  const std::vector<LayoutCase> cases{
      {"CR-only line ends",
       Joined(plain, "\r"),
       {kNewList, kNewSmtp},
       {"// Mozilla User Preferences\r\r", "user_pref(\"mail.identity.id1.fullName\", \"Old Name\");\r"}},
      {"mixed line ends and no line end at the end",
       Joined(Profile(kList, "user_pref(\"x\", 1);"), "\n") + "user_pref(\"mail.smtpservers\", \"smtp1\");",
       {kNewList, kNewSmtp},
       {"user_pref(\"x\", 1);\n", "user_pref(\"mail.account.account1.server\", \"server1\");\n"}},
      {"no blank after the comma",
       Joined(Profile("user_pref(\"mail.accountmanager.accounts\",\"account3,account1\");",
                      "user_pref(\"mail.smtpservers\",\"smtp1\");"),
              "\r\n"),
       {kNewList, kNewSmtp},
       {}},
      {"blanks and tabs between the tokens",
       Joined(Profile("  user_pref ( \"mail.accountmanager.accounts\" ,\t\"account3,account1\" ) ;\t",
                      "\tuser_pref(\"mail.smtpservers\",  \"smtp1\")  ;"),
              "\r\n"),
       {kNewList, kNewSmtp},
       {}},
      {"two calls on one line are kept, and the list they set is written again after them",
       Joined(Profile(kList, two_calls), "\r\n"),
       {kNewList, two_calls + "\r\n" + kNewSmtp},
       {two_calls + "\r\n"}},
      {"a call split over two lines is kept and not read",
       Joined(Profile("user_pref(\"mail.accountmanager.accounts\",\n  \"account3,account1\");", kSmtp), "\n"),
       {kNewSmtp},
       {"user_pref(\"mail.accountmanager.accounts\",\n  \"account3,account1\");\n"}},
      {"comments that mention keys and the address",
       Joined(Profile("// user_pref(\"mail.accountmanager.accounts\", \"account9\");\r\n" +
                          std::string("/* user_pref(\"mail.identity.id9.useremail\", \"jane@example.com\"); */\r\n") +
                          kList,
                      kSmtp),
              "\r\n"),
       {kNewList, kNewSmtp, "user_pref(\"mail.identity.id3.useremail\", \"jane@example.com\");\r\n"},
       {"// user_pref(\"mail.accountmanager.accounts\", \"account9\");\r\n",
        "/* user_pref(\"mail.identity.id9.useremail\", \"jane@example.com\"); */\r\n"}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    ThunderbirdUser user;
    user.WithProfile({});
    user.fake.files.Put(kPrefs, c.file);
    ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, false), status::kSuccess);
    const std::string after = user.fake.files.ReadFile(kPrefs).value_or("");
    for (const std::string& line : c.written) EXPECT_EQ(Occurrences(after, line), 1u) << line;
    for (const std::string& part : c.kept) EXPECT_EQ(Occurrences(after, part), 1u) << part;
    // Every old line the run does not set is still there with its own end.
    for (const std::string_view line : SplitLinesKeepingEnds(c.file)) {
      const std::string_view bare = WithoutLineEnd(line);
      const bool set = bare.find("\"mail.accountmanager.accounts\"") != std::string_view::npos ||
                       bare.find("\"mail.smtpservers\"") != std::string_view::npos;
      if (!set && !bare.empty()) {
        EXPECT_NE(after.find(std::string(line)), std::string::npos) << line;
      }
    }
    EXPECT_EQ(Occurrences(after, "\"ccount"), 0u);
  }
}

TEST(ThunderbirdPrefsLayout, AResetFindsCallsWrittenWithOtherSpacing) {
  ThunderbirdUser user;
  user.WithProfile({});
  user.fake.files.Put(kPrefs, Joined({"user_pref(\"mail.account.account2.identities\",\"id1\");",
                                      "user_pref( \"mail.account.account2.server\" , \"server2\" );",
                                      "user_pref(\"mail.accountmanager.accounts\",\"account2\");",
                                      "user_pref(\"mail.identity.id1.fullName\",\t\"J. Doe\");",
                                      "// user_pref(\"mail.identity.id1.fullName\", \"kept\");",
                                      "user_pref(\"mail.identity.id1.useremail\",\"Jane@Example.com\");",
                                      "user_pref(\"mail.server.server2.port\",110);"},
                                     "\r"));
  ASSERT_EQ(user.Run("jane@example.com", "Jane Doe", false, true), status::kSuccess);
  const std::string after = user.fake.files.ReadFile(kPrefs).value_or("");
  EXPECT_EQ(after, "user_pref(\"mail.account.account2.identities\",\"id1\");\r"
                   "user_pref( \"mail.account.account2.server\" , \"server2\" );\r"
                   "user_pref(\"mail.accountmanager.accounts\",\"account2\");\r"
                   "user_pref(\"mail.identity.id1.fullName\", \"Jane Doe\");\r\n"
                   "// user_pref(\"mail.identity.id1.fullName\", \"kept\");\r"
                   "user_pref(\"mail.identity.id1.useremail\",\"Jane@Example.com\");\r"
                   "user_pref(\"mail.server.server2.port\", 995);\r\n");
}

TEST(ThunderbirdPrefsLayout, PrefsJsHoldsUtf8AndIsSearchedInIt) {
  // The program's narrow text is Windows-1252: 0xFC is u with diaeresis.
  ThunderbirdUser user;
  ASSERT_EQ(user.Run("j\xFC@example.com", "J\xFCrgen \x80", false, false), status::kSuccess);
  const std::string prefs =
      std::string(kAppData) + "\\Thunderbird\\Profiles\\s8eyyog6.default\\prefs.js";
  const std::string after = user.fake.files.ReadFile(prefs).value_or("");
  EXPECT_NE(after.find("user_pref(\"mail.identity.id1.fullName\", \"J\xC3\xBCrgen \xE2\x82\xAC\");\r\n"),
            std::string::npos);
  EXPECT_NE(after.find("\"j\xC3\xBC@example.com\""), std::string::npos);
  EXPECT_EQ(after.find('\xFC'), std::string::npos);
  // The log keeps the code page.
  EXPECT_EQ(user.log.Lines()[5], "Searching for existant j\xFC@example.com account ... not found. Creating new account.");
  // The address written in UTF-8 is found again.
  EXPECT_EQ(user.Run("j\xFC@EXAMPLE.com", "J\xFCrgen", false, false), status::kAlreadyExists);
}

TEST(ThunderbirdPrefsLayout, EveryCutOfAFileIsReadWithoutHarm) {
  // Cut anywhere, a file must still give a run an outcome: half a call, an
  // open quote, a lone backslash, a CR at the very end.
  const std::string file =
      "user_pref(\"mail.account.account1.identities\", \"id1\");\r"
      "user_pref( \"mail.account.account1.server\" ,\t\"server1\" ) ;\n"
      "user_pref(\"mail.identity.id1.smtpServer\", \"smtp\");\r\n"
      "user_pref(\"mail.identity.id1.useremail\", \"jane@example.com\");\r\n"
      "user_pref(\"mail.smtp.defaultserver\",\"smtp\\\"1\");\r\n"
      "user_pref(\"mail.smtpservers\", \"\");user_pref(\"x\", 1);\r";
  for (std::size_t cut = 0; cut <= file.size(); ++cut) {
    for (const bool overwrite : {false, true}) {
      ThunderbirdUser user;
      user.WithProfile({});
      user.fake.files.Put(kPrefs, file.substr(0, cut));
      const ConfigStatus status = user.Run("jane@example.com", "Jane Doe", true, overwrite);
      EXPECT_TRUE(status == status::kSuccess || status == status::kAlreadyExists) << cut;
    }
  }
}

}  // namespace
}  // namespace quillbank::thunderbird_test
