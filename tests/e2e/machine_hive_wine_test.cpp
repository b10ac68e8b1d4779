// The machine folder and Wine share one file format: a hive Wine wrote is read
// by the native program, and the values the native program writes are what
// Wine's own regedit exports.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/wine_support.h"

namespace quillbank::e2e {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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
  const std::string before = ReadAll(prefix.SystemHive());

  // Outlook 2000's store is created by the run: 21 values and the default.
  const ProgramRun native = RunNativeProgram(
      prefix.path(), QUILLBANK_PROGRAM,
      {"-n", "Jos\xc3\xa9 Doe", "-a", "jose@example.com", "-c", "1", "-d"});
  ASSERT_EQ(native.exit_code, 0) << native.out << native.err;
  EXPECT_EQ(ReadAll(prefix.SystemHive()), before) << "a hive the run did not change is rewritten";

  const std::filesystem::path exported = prefix.DriveC() / "account.reg";
  const ProgramRun regedit = RunWindowsProgram(
      prefix.path(), "regedit",
      {"/E", "C:\\account.reg",
       "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook\\OMI Account Manager"});
  ASSERT_EQ(regedit.exit_code, 0) << regedit.err;
  const std::string text = Utf16ToAscii(ReadAll(exported));
  EXPECT_NE(text.find("\"Default Mail Account\"=\"jose@example.com\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"POP3 Port\"=dword:000003e3"), std::string::npos) << text;
  EXPECT_NE(text.find("\"SMTP Port\"=dword:000001d1"), std::string::npos) << text;
  EXPECT_NE(text.find("\"SMTP Server\"=\"secure.tessaline.net\""), std::string::npos) << text;
  // The display name's letter, typed as UTF-8, kept as Windows-1252 and
  // exported as its Unicode code.
  const std::string raw = ReadAll(exported);
  const std::string wanted("J\0o\0s\0\xe9\0 \0D\0o\0e\0", 16);
  EXPECT_NE(raw.find(wanted), std::string::npos) << text;
}

}  // namespace
}  // namespace quillbank::e2e
