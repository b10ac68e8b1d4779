// The machine folder and Wine share one file format: a hive Wine wrote is read
// by the native program, and the values the native program writes are what
// Wine's own regedit exports.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"

namespace quillbank::e2e {
namespace {

using testing::RunNativeProgram;

// regedit /E writes UTF-16LE with a byte-order mark; the exported text here is ASCII.
std::string Utf16ToAscii(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    if (bytes[i + 1] == 0 && bytes[i] != '\r') text.push_back(bytes[i]);
  }
  return text;
}

TEST(MachineHiveWineTest, WineReadsWhatTheNativeProgramWroteIntoItsHive) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const std::string before = testing::ReadHostFile(prefix.SystemHive());

  // Outlook 2000's store is created by the run: 21 values and the default.
  const ProgramRun native = RunNativeProgram(
      prefix.path(), QUILLBANK_PROGRAM,
      {"-n", "Jos\xc3\xa9 Doe", "-a", "jose@example.com", "-c", "1", "-d"});
  ASSERT_EQ(native.exit_code, 0) << native.out << native.err;
  EXPECT_EQ(testing::ReadHostFile(prefix.SystemHive()), before) << "a hive the run did not change is rewritten";

  const std::filesystem::path exported = prefix.DriveC() / "account.reg";
  const ProgramRun regedit = RunWindowsProgram(
      prefix.path(), "regedit",
      {"/E", "C:\\account.reg",
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook\\OMI Account Manager"});
  ASSERT_EQ(regedit.exit_code, 0) << regedit.err;
  const std::string text = Utf16ToAscii(testing::ReadHostFile(exported));
  EXPECT_NE(text.find("\"Default Mail Account\"=\"jose@example.com\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"POP3 Port\"=dword:000003e3"), std::string::npos) << text;
  EXPECT_NE(text.find("\"SMTP Port\"=dword:000001d1"), std::string::npos) << text;
  EXPECT_NE(text.find("\"SMTP Server\"=\"secure.tessaline.net\""), std::string::npos) << text;
  // The display name's letter, typed as UTF-8, kept as Windows-1252 and
  // exported as its Unicode code.
  const std::string raw = testing::ReadHostFile(exported);
  const std::string wanted("J\0o\0s\0\xe9\0 \0D\0o\0e\0", 16);
  EXPECT_NE(raw.find(wanted), std::string::npos) << text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Keys whose names Windows-1252 cannot hold, made by Wine itself, survive a
// run that writes an Outlook Express account into the same hive: every line
// the run had no reason to change stays, in order, and Wine still reads the
// keys and the new account.
TEST(MachineHiveWineTest, KeysWineWroteOutsideTheCodePageSurviveARun) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const std::string cyrillic = "HKCU\\Software\\\xd0\xa2\xd0\xb5\xd1\x81\xd1\x82";  // 4 letters
  const std::string cjk = "HKCU\\Software\\\xe6\xb5\x8b\xe8\xaf\x95\xe5\x90\x8d\xe7\xa7\xb0";  // 4 letters
  const std::string accounts = "HKCU\\Software\\Microsoft\\Internet Account Manager\\Accounts";
  const std::vector<std::vector<std::string>> additions = {
      {"add", cyrillic, "/v", "\xd0\x98\xd0\xbc\xd1\x8f", "/d", "cyr-value", "/f"},
      {"add", cjk, "/v", "V", "/d", "cjk-value", "/f"},
      {"add", accounts, "/f"},
      {"add", "HKLM\\Software\\Clients\\Mail\\Outlook Express", "/ve", "/d", "Outlook Express", "/f"},
  };
  // Wine reads the names from the command line as UTF-8.
  const EnvironmentAdditions utf8 = {{"LANG", "C.UTF-8"}};
  for (const auto& args : additions) {
    const ProgramRun reg = RunWindowsProgram(prefix.path(), "reg", args, utf8);
    ASSERT_EQ(reg.exit_code, 0) << args[1] << reg.err;
  }
  const std::string before = testing::ReadHostFile(prefix.UserHive());
  ASSERT_NE(before.find("[Software\\\\\\x6d4b\\x8bd5\\x540d\\x79f0]"), std::string::npos);

  const ProgramRun native = RunNativeProgram(prefix.path(), QUILLBANK_PROGRAM,
                                             {"-n", "Jane Doe", "-a", "jane@example.com", "-c", "0"});
  ASSERT_EQ(native.exit_code, 0) << native.out << native.err;

  // The run changes the store key (its default account) and adds the
  // account's key; every other line is still there, in the same order.
  const std::vector<std::string> after = Lines(testing::ReadHostFile(prefix.UserHive()));
  std::size_t next = 0;
  bool in_store_key = false;
  for (const std::string& line : Lines(before)) {
    if (line.rfind("[", 0) == 0) {
      in_store_key = line.rfind("[Software\\\\Microsoft\\\\Internet Account Manager]", 0) == 0;
    }
    if (in_store_key) continue;
    while (next < after.size() && after[next] != line) ++next;
    ASSERT_LT(next, after.size()) << "lost or moved: " << line;
    ++next;
  }

  const std::vector<std::pair<std::vector<std::string>, std::string>> queries = {
      {{"query", cyrillic}, "cyr-value"},
      {{"query", cjk, "/v", "V"}, "cjk-value"},
      {{"query", accounts + "\\jane@example.com", "/v", "SMTP Email Address"}, "jane@example.com"},
  };
  for (const auto& [args, wanted] : queries) {
    const ProgramRun reg = RunWindowsProgram(prefix.path(), "reg", args, utf8);
    EXPECT_EQ(reg.exit_code, 0) << args[1] << reg.err;
    EXPECT_NE(reg.out.find(wanted), std::string::npos) << reg.out;
  }
}

}  // namespace
}  // namespace quillbank::e2e
