// Thunderbird as the default mail client of a machine folder, copied by the
// automatic mode of the program started as a process: the copy is named by
// the prefix and the address, the account copied from keeps every byte, a
// second run finds the copy, and a run that cannot read an account changes
// nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/program_run.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::MaskedLines;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;

// A machine whose default mail client is Thunderbird, with jane's profile.
void WriteMachine(const fs::path& machine) {
  const fs::path thunderbird =
      machine / "drive_c" / "users" / "jane" / "AppData" / "Roaming" / "Thunderbird";
  fs::create_directories(thunderbird / "Profiles" / "abcd1234.default");
  std::ofstream(machine / "system.reg", std::ios::binary)
      << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
         "[Software\\\\Classes\\\\mailto\\\\shell\\\\open\\\\command] 1700000000\n"
         "@=\"\\\"C:\\\\Program Files\\\\Mozilla Thunderbird\\\\thunderbird.exe\\\" -osint "
         "-compose \\\"%1\\\"\"\n\n"
         "[Software\\\\Clients\\\\Mail\\\\Mozilla Thunderbird] 1700000000\n"
         "@=\"Mozilla Thunderbird\"\n";
  std::ofstream(machine / "user.reg", std::ios::binary)
      << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
         "#arch=win64\n\n[Volatile Environment] 1700000000\n"
         "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n";
  std::ofstream(thunderbird / "profiles.ini", std::ios::binary)
      << ReadTestData("thunderbird/profiles.ini") << "Default=1\r\n";
  std::ofstream(thunderbird / "Profiles" / "abcd1234.default" / "prefs.js", std::ios::binary)
      << ReadTestData("thunderbird/prefs_two_accounts.js");
}

// Every file of the machine but the log and the run lock, by path.
std::map<std::string, std::string> Files(const fs::path& machine) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    const fs::path name = entry.path().filename();
    if (entry.is_regular_file() && name != "Quillbank.log" && name != "quillbank.lock") {
      files[entry.path().string()] = ReadHostFile(entry.path());
    }
  }
  return files;
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class ThunderbirdAutoE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillbank-tb-auto-e2e-XXXXXX";
    root = mkdtemp(pattern);
    machine = root / "machine";
    WriteMachine(machine);
  }
  void TearDown() override { fs::remove_all(root); }

  ProgramRun Run(const std::vector<std::string>& args) {
    return testing::RunNativeProgram(machine, QUILLBANK_PROGRAM, args);
  }
  fs::path Prefs() const {
    return machine / "drive_c/users/jane/AppData/Roaming/Thunderbird/Profiles/abcd1234.default/prefs.js";
  }
  std::vector<std::string> Log() const {
    return MaskedLines(ReadHostFile(machine / "drive_c/users/jane/AppData/Roaming/Quillbank.log"));
  }
  // True when every line of the original file is still there, unchanged
  // and in its order, but the two lists the copy joins.
  bool KeepsTheOriginal(const std::string& prefs) const {
    std::size_t from = 0;
    for (const std::string& line : MaskedLines(ReadTestData("thunderbird/prefs_two_accounts.js"))) {
      if (line.find("\"mail.accountmanager.accounts\"") != std::string::npos ||
          line.find("\"mail.smtpservers\"") != std::string::npos) {
        continue;
      }
      from = prefs.find(line + "\r\n", from);
      if (from == std::string::npos) return false;
    }
    return true;
  }

  fs::path root, machine;
};

TEST_F(ThunderbirdAutoE2eTest, CopiesTheDefaultAccountUnderThePrefixAndFindsTheCopyAgain) {
  const ProgramRun first = Run({"-auto", "-p", "Tessaline "});
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  const std::vector<std::string> log = Log();
  EXPECT_TRUE(Holds(log, "GetDefAcct Result (mail.accountmanager.defaultaccount): account2"));
  EXPECT_TRUE(Holds(log, "Default Email Address: jane@example.com"));
  EXPECT_TRUE(Holds(log, "Default Display Name: Jane Doe"));
  EXPECT_TRUE(Holds(log, "Searching for existant Tessaline jane@example.com account ... not found. "
                         "Creating new account."));
  const std::string copied = ReadHostFile(Prefs());
  EXPECT_TRUE(KeepsTheOriginal(copied)) << copied;
  EXPECT_NE(copied.find("\"mail.server.server3.name\", \"Tessaline jane@example.com\""),
            std::string::npos)
      << copied;
  EXPECT_NE(copied.find("\"mail.identity.id2.useremail\", \"jane@example.com\""), std::string::npos);

  // Found again by its name, although the original has the same address.
  const ProgramRun second = Run({"-auto", "-p", "Tessaline "});
  EXPECT_EQ(second.exit_code, 5) << second.out;
  EXPECT_EQ(ReadHostFile(Prefs()), copied);

  // With -u the copy is reset, the original stays.
  std::string changed = copied;
  const std::string copy_host = "\"mail.server.server3.hostname\", \"secure.tessaline.net\"";
  changed.replace(changed.find(copy_host), copy_host.size(),
                  "\"mail.server.server3.hostname\", \"elsewhere.example\"");
  std::ofstream(Prefs(), std::ios::binary) << changed;
  const ProgramRun reset = Run({"-auto", "-p", "Tessaline ", "-u"});
  ASSERT_EQ(reset.exit_code, 0) << reset.out;
  EXPECT_EQ(ReadHostFile(Prefs()), copied);
}

TEST_F(ThunderbirdAutoE2eTest, ASearchWithoutAMatchEndsWithNoDefaultAndChangesNothing) {
  const std::map<std::string, std::string> before = Files(machine);
  const ProgramRun run = Run({"-auto", "-p", "Tessaline ", "-s", "nobody", "-u"});
  EXPECT_EQ(run.exit_code, 11) << run.out;
  EXPECT_EQ(Files(machine), before);
  EXPECT_TRUE(Holds(Log(), "FindAcctByAddr Result (useremail containing nobody): *ERROR*"));
}

TEST_F(ThunderbirdAutoE2eTest, ADefaultNamingAMissingAccountEndsWithDefaultDneAndChangesNothing) {
  std::string prefs = ReadTestData("thunderbird/prefs_two_accounts.js");
  const std::string line = "\"mail.accountmanager.defaultaccount\", \"account2\"";
  prefs.replace(prefs.find(line), line.size(), "\"mail.accountmanager.defaultaccount\", \"account7\"");
  std::ofstream(Prefs(), std::ios::binary) << prefs;
  const std::map<std::string, std::string> before = Files(machine);
  const ProgramRun run = Run({"-auto", "-p", "Tessaline ", "-u"});
  EXPECT_EQ(run.exit_code, 12) << run.out;
  EXPECT_EQ(Files(machine), before);
  EXPECT_TRUE(Holds(Log(), "GetAcctAddr Result (useremail of account7): *ERROR*"));
}

// ------------------------------------------------------------ under wine64

// Runs the Windows program with `arguments` typed as on a Windows command
// line: through a batch file, so that the quotes reach the program as typed.
int RunWindowsProgramTyped(const fs::path& prefix, const std::string& arguments) {
  std::string program = "Z:" + e2e::WindowsProgram().string();
  std::replace(program.begin(), program.end(), '/', '\\');
  std::ofstream(prefix / "drive_c" / "run.bat", std::ios::binary)
      << program << " " << arguments << "\r\nexit /b %errorlevel%\r\n";
  return e2e::RunWindowsProgram(prefix, "cmd", {"/c", "C:\\run.bat"}).exit_code;
}

// The run's own lines from the automatic mode's first line on, without the
// profile's path, which names the user.
std::vector<std::string> RunLines(const std::vector<std::string>& lines) {
  auto line = std::find(lines.begin(), lines.end(),
                        "Automatically Configuring from default email client's default account.");
  std::vector<std::string> run;
  for (; line != lines.end(); ++line) {
    if (line->rfind("Thunderbird profile in use: ", 0) != 0) run.push_back(*line);
  }
  return run;
}

TEST_F(ThunderbirdAutoE2eTest, TheWindowsBuildUnderWineWritesTheSamePrefsAndLog) {
  if (!e2e::WineAvailable() || e2e::WindowsProgram().empty()) {
    GTEST_SKIP() << "needs wine64 and the win64 build";
  }
  e2e::ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  std::ofstream(prefix.DriveC() / "seed.reg", std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\mailto\\shell\\open\\command]\r\n"
         "@=\"\\\"C:\\\\Program Files\\\\Mozilla Thunderbird\\\\thunderbird.exe\\\" -osint\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\\Mozilla Thunderbird]\r\n"
         "@=\"Mozilla Thunderbird\"\r\n\r\n";
  ASSERT_EQ(e2e::RunWindowsProgram(prefix.path(), "regedit", {"/S", "C:\\seed.reg"}).exit_code, 0);
  const fs::path wine_roaming = prefix.UserFolder() / "AppData" / "Roaming";
  fs::create_directories(wine_roaming);
  fs::copy(machine / "drive_c/users/jane/AppData/Roaming/Thunderbird", wine_roaming / "Thunderbird",
           fs::copy_options::recursive);

  const ProgramRun native = Run({"-auto", "-p", "Tessaline "});
  ASSERT_EQ(native.exit_code, 0) << native.out;
  ASSERT_EQ(RunWindowsProgramTyped(prefix.path(), "-auto -p \"Tessaline \""), 0);
  EXPECT_EQ(ReadHostFile(wine_roaming / "Thunderbird/Profiles/abcd1234.default/prefs.js"),
            ReadHostFile(Prefs()));
  EXPECT_EQ(RunLines(MaskedLines(ReadHostFile(wine_roaming / "Quillbank.log"))), RunLines(Log()));
}

}  // namespace
}  // namespace quillbank
