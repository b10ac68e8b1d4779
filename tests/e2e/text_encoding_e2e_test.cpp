// Text typed on the command line as UTF-8 reaching every kind of store in
// the encoding that store holds: Windows-1252 bytes in Eudora.ini, UTF-8 in
// prefs.js, UTF-16 in Windows Mail's account file. Text the code page cannot
// hold, and empty values, end the run before anything is written. The same
// run of the Windows build under wine64 must write the same Eudora.ini.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/test_data.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::MaskedLines;
using testing::ReadHostFile;
using testing::WriteHostFile;

constexpr const char* kNameUtf8 = "J\xC3\xBCrgen Gr\xC3\xB6\xC3\x9F \xE2\x82\xAC";  // Jürgen Größ €
constexpr const char* kName1252 = "J\xFCrgen Gr\xF6\xDF \x80";
constexpr const char* kAddress = "jane@tessaline.net";
constexpr const char* kEudora = "AppData/Roaming/Qualcomm/Eudora/Eudora.ini";
constexpr const char* kPrefs = "AppData/Roaming/Thunderbird/Profiles/abcd1234.default/prefs.js";
constexpr const char* kStoreFolder = "AppData/Local/Microsoft/Windows Mail/Local Folders";
constexpr const char* kLog = "AppData/Roaming/Quillbank.log";

// The user's files for Eudora, Thunderbird and Windows Mail below `user`.
void WriteUserFiles(const fs::path& user) {
  WriteHostFile(user / kEudora, "[Settings]\r\nRealName=Bob Stone\r\nReturnAddress=bob@example.com\r\n");
  const fs::path thunderbird = user / "AppData" / "Roaming" / "Thunderbird";
  WriteHostFile(thunderbird / "profiles.ini", testing::ReadTestData("thunderbird/profiles.ini"));
  WriteHostFile(user / kPrefs, "// Mozilla User Preferences\r\n");
  fs::create_directories(user / kStoreFolder);
}

std::string Utf16(const std::string& latin1) {
  std::string bytes;
  for (const char c : latin1) bytes += std::string{c, '\0'};
  return bytes;
}

std::vector<std::string> Args(const std::string& name, const std::string& address, const char* client) {
  return {"-n", name, "-a", address, "-c", client};
}

class TextEncodingE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteUserFiles(user); }

  ProgramRun Run(const std::vector<std::string>& args) { return machine.Run(args); }
  // Every file of the machine with its bytes, to tell that nothing changed.
  std::vector<std::pair<std::string, std::string>> Snapshot() {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(machine.path())) {
      if (entry.is_regular_file()) files.emplace_back(entry.path().string(), ReadHostFile(entry.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  // Eudora is installed, and Windows Mail's store root is in jane's profile.
  const JaneMachine machine{"text-e2e", {testing::ReadTestData("registry/eudora.reg"),
                                         testing::ReadTestData("registry/windows_mail_store.reg")}};
  const fs::path user = machine.Jane();
};

TEST_F(TextEncodingE2eTest, EachStoreGetsTheTypedTextInItsOwnEncoding) {
  const ProgramRun eudora = Run(Args(kNameUtf8, kAddress, "3"));
  ASSERT_EQ(eudora.exit_code, 0) << eudora.out << eudora.err;
  const std::string ini = ReadHostFile(user / kEudora);
  EXPECT_NE(ini.find(std::string("RealName=") + kName1252 + "\r\n"), std::string::npos) << ini;

  const ProgramRun thunderbird = Run(Args(kNameUtf8, kAddress, "4"));
  ASSERT_EQ(thunderbird.exit_code, 0) << thunderbird.out << thunderbird.err;
  const std::string prefs = ReadHostFile(user / kPrefs);
  EXPECT_NE(prefs.find(std::string("user_pref(\"mail.identity.id1.fullName\", \"") + kNameUtf8 + "\");\r\n"),
            std::string::npos)
      << prefs;

  const ProgramRun winmail = Run(Args(kNameUtf8, kAddress, "2"));
  ASSERT_EQ(winmail.exit_code, 0) << winmail.out << winmail.err;
  std::string account;
  for (const auto& entry : fs::directory_iterator(user / kStoreFolder)) account = ReadHostFile(entry.path());
  const std::string element = Utf16("<SMTP_Display_Name type=\"SZ\">J\xFCrgen Gr\xF6\xDF ") + "\xAC\x20" +
                              Utf16("</SMTP_Display_Name>");
  EXPECT_NE(account.find(element), std::string::npos);

  // The log keeps the code page.
  const std::string log = ReadHostFile(user / kLog);
  EXPECT_NE(log.find(std::string("User Entered Display Name: ") + kName1252 + "\r\n"), std::string::npos);
}

TEST_F(TextEncodingE2eTest, RefusedAndEmptyValuesWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* printed;  // part of standard output or standard error
  };
  const Case cases[] = {
      {Args("\xE4\xB8\xAD\xE6\x96\x87", kAddress, "3"), 30, "holds the character U+4E2D"},
      {Args("Jane", "j\xE2\x84\xA2x@tessaline.net\xF0\x9F\x98\x80", "4"), 30, "holds the character U+1F600"},
      {Args("J\xFCrgen", kAddress, "2"), 30, "is not valid UTF-8"},
      {Args("", kAddress, "4"), 64, "usage: quillbank"},
      {Args("Jane", "", "3"), 64, "usage: quillbank"},
  };
  const auto before = Snapshot();
  for (const Case& c : cases) {
    const ProgramRun run = Run(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.printed;
    EXPECT_NE((run.out + run.err).find(c.printed), std::string::npos) << run.out << run.err;
    EXPECT_FALSE(fs::exists(user / kLog));
    EXPECT_EQ(Snapshot(), before) << c.printed;
  }
}

TEST_F(TextEncodingE2eTest, ALineEndInANameCannotForgeALogLine) {
  const ProgramRun run = Run(Args("Jane\r\n* Configuration Complete at now *", kAddress, "3"));
  EXPECT_EQ(run.exit_code, 30);
  const std::vector<std::string> lines = MaskedLines(ReadHostFile(user / kLog));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "User Entered Display Name: Jane\\x0D\\x0A* Configuration Complete at now *"),
            lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "* Configuration Complete at now *"), lines.end());
}

TEST_F(TextEncodingE2eTest, TheWindowsBuildConvertsTheUnicodeCommandLineTheSameWay) {
  if (const std::string why = WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  const fs::path windows_program = WindowsProgram();
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path wine_user = prefix.UserFolder();
  ASSERT_FALSE(wine_user.empty());
  WriteUserFiles(wine_user);
  // Wine reads the arguments in the character set of the Unix locale that
  // LC_ALL (else LANG) names, and takes its ANSI code page from the locale's
  // language. Both only work for a locale the host has installed: with one
  // it lacks (such as en_US.UTF-8 on a minimal system) Wine falls back to
  // 7-bit ASCII and turns "\xC3\xBC" into "C<". C.UTF-8 is always there and
  // gives UTF-8 arguments and Windows-1252.
  const EnvironmentAdditions locale{{"LC_ALL", "C.UTF-8"}};
  const ProgramRun detected = ImportRegistry(prefix, {testing::ReadTestData("registry/eudora.reg")});
  ASSERT_EQ(detected.exit_code, 0) << detected.err;

  const ProgramRun windows = RunWindowsProgram(prefix.path(), windows_program.string(),
                                               Args(kNameUtf8, kAddress, "3"), locale);
  ASSERT_EQ(windows.exit_code, 0) << windows.out << windows.err;
  const ProgramRun native = Run(Args(kNameUtf8, kAddress, "3"));
  ASSERT_EQ(native.exit_code, 0) << native.out << native.err;
  const std::string ini = ReadHostFile(wine_user / kEudora);
  EXPECT_NE(ini.find(std::string("RealName=") + kName1252 + "\r\n"), std::string::npos) << ini;
  EXPECT_EQ(ini, ReadHostFile(user / kEudora));

  // What Windows-1252 cannot hold is refused, not written as "?". (Wine
  // quotes an argument only when it holds a blank, and the name must come
  // in quotes.)
  const std::string before = ReadHostFile(wine_user / kEudora);
  const ProgramRun refused =
      RunWindowsProgram(prefix.path(), windows_program.string(),
                        Args("\xE4\xB8\xAD\xE6\x96\x87 \xE6\x96\x87", "x@tessaline.net", "3"), locale);
  EXPECT_EQ(refused.exit_code, 30) << refused.out << refused.err;
  EXPECT_NE(refused.out.find("U+4E2D"), std::string::npos) << refused.out;
  EXPECT_EQ(ReadHostFile(wine_user / kEudora), before);
}

}  // namespace
}  // namespace quillbank::e2e
