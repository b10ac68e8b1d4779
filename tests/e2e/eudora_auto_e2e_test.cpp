// Eudora as the default mail client of a machine folder, with the program
// started as a process in the automatic mode: the dominant personality is
// copied as a persona named prefix + address, found again by that name on a
// later run (left alone, or reset with -u), while the original stays byte for
// byte as it was; failed runs change nothing; and the Windows build under
// wine64 writes the same Eudora.ini on an equal prefix.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/program_run.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::MaskedLines;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::RunNativeProgram;

constexpr const char* kBelowAppData = "Qualcomm/Eudora/Eudora.ini";
constexpr const char* kFirstRunLine =
    "Automatically Configuring from default email client's default account.";

// The lines up to the end of the persona list, and the lines after it.
constexpr const char* kSeedHead =
    "[Settings]\r\n"
    "RealName=Jane Doe\r\n"
    "ReturnAddress=jane@tessaline.net\r\n"
    "PopServer=pop.example.com\r\n"
    "[Personalities]\r\n"
    "Persona0=Persona-work\r\n";
constexpr const char* kSeedTail =
    "[Persona-work]\r\n"
    "RealName=Jane at Work\r\n"
    "ReturnAddress=jane.work@tessaline.net\r\n";

// What the first automatic run inserts after the persona list.
constexpr const char* kCopy =
    "Persona1=Persona-Tessaline jane@tessaline.net\r\n"
    "[Persona-Tessaline jane@tessaline.net]\r\n"
    "IMAPAccount=jane@tessaline.net@secure.tessaline.net\r\n"
    "RealName=Jane Doe\r\n"
    "SMTPServer=secure.tessaline.net\r\n"
    "ReturnAddress=jane@tessaline.net\r\n"
    "PopServer=secure.tessaline.net\r\n"
    "LoginName=jane@tessaline.net\r\n"
    "SmtpAuthAllowed=1\r\n"
    "PopBeforeSmtpAuthTime=0\r\n"
    "LeaveMailOnServer=0\r\n"
    "SSLReceiveUse=2\r\n"
    "SSLSendUse=2\r\n"
    "UsesIMAP=0\r\n"
    "UsesPOP=1\r\n"
    "PopPort=995\r\n"
    "SMTPPort=465\r\n";

const std::vector<std::string> kArgs{"-auto", "-p", "Tessaline "};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// The run's own lines, from the automatic mode's first line to the end.
std::vector<std::string> RunLines(const fs::path& log) {
  const std::vector<std::string> lines = MaskedLines(ReadHostFile(log));
  return std::vector<std::string>(std::find(lines.begin(), lines.end(), kFirstRunLine), lines.end());
}

class EudoraAutoE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillbank-eudora-auto-XXXXXX";
    root_ = mkdtemp(pattern);
    machine_ = root_ / "machine";
    const fs::path roaming = machine_ / "drive_c" / "users" / "jane" / "AppData" / "Roaming";
    ini_ = roaming / kBelowAppData;
    log_ = roaming / "Quillbank.log";
    // Eudora is installed and takes mailto links.
    WriteAll(machine_ / "system.reg",
             "WINE REGISTRY Version 2\n"
             ";; All keys relative to \\\\Machine\n"
             "\n"
             "#arch=win64\n"
             "\n"
             "[Software\\\\Classes\\\\mailto\\\\shell\\\\open\\\\command] 1700000000\n"
             "@=\"\\\"C:\\\\Program Files\\\\Qualcomm\\\\Eudora\\\\Eudora.exe\\\" /m %1\"\n"
             "\n"
             "[Software\\\\Clients\\\\Mail\\\\Eudora] 1700000000\n"
             "@=\"Eudora\"\n");
    WriteAll(machine_ / "user.reg",
             "WINE REGISTRY Version 2\n"
             ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
             "\n"
             "#arch=win64\n"
             "\n"
             "[Volatile Environment] 1700000000\n"
             "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n");
    WriteAll(ini_, std::string(kSeedHead) + kSeedTail);
  }
  void TearDown() override { fs::remove_all(root_); }

  ProgramRun Run(const std::vector<std::string>& args) {
    return RunNativeProgram(machine_, QUILLBANK_PROGRAM, args);
  }

  fs::path root_;
  fs::path machine_;
  fs::path ini_;
  fs::path log_;
};

TEST_F(EudoraAutoE2eTest, TheCopyIsMadeOnceAndResetByItsNameOnly) {
  const std::string copied = std::string(kSeedHead) + kCopy + kSeedTail;

  const ProgramRun first = Run(kArgs);
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  // The original's lines are all there, unchanged and in place.
  EXPECT_EQ(ReadHostFile(ini_), copied);
  const std::vector<std::string> lines = RunLines(log_);
  ASSERT_GE(lines.size(), 12u) << ReadHostFile(log_);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 12),
            (std::vector<std::string>{
                kFirstRunLine,
                "GetDefAcct Result (dominant personality [Settings]): Settings",
                "GetAcctAddr Result (ReturnAddress of Settings): jane@tessaline.net",
                "GetAcctName Result (RealName of Settings): Jane Doe",
                "Default Email Address: jane@tessaline.net",
                "Default Display Name: Jane Doe",
                "Make Account Default: No",
                "Overwrite Existing Account: No",
                "Client Selected to Configure: Qualcomm Eudora",
                "",
                "Starting Eudora configuration...",
                "",
            }));

  // Found by its name: left alone without -u.
  const ProgramRun second = Run(kArgs);
  EXPECT_EQ(second.exit_code, 5) << second.out;
  EXPECT_EQ(ReadHostFile(ini_), copied);
  EXPECT_NE(second.out.find("ERROR: Account was already found, no changes have been made."),
            std::string::npos)
      << second.out;

  // With -u the copy is reset, although the original has the same address
  // and comes first. (A reset writes the server key as "POPServer".)
  std::string changed = copied;
  changed.replace(changed.rfind("SMTPPort=465"), 12, "SMTPPort=25");
  WriteAll(ini_, changed);
  const ProgramRun reset = Run(With(kArgs, {"-u"}));
  EXPECT_EQ(reset.exit_code, 0) << reset.out;
  std::string expected = copied;
  expected.replace(expected.rfind("PopServer="), 9, "POPServer");
  EXPECT_EQ(ReadHostFile(ini_), expected);
}

TEST_F(EudoraAutoE2eTest, FailedRunsChangeNoFile) {
  struct Case {
    const char* what;
    std::string ini;
    std::vector<std::string> args;
    int exit_code;
    const char* failure;
  };
  const std::string without_dominant_address =
      std::string("[Settings]\r\nRealName=Jane Doe\r\n[Personalities]\r\nPersona0=Persona-work\r\n") +
      kSeedTail;
  const Case cases[] = {
      {"a search without a match", std::string(kSeedHead) + kSeedTail,
       With(kArgs, {"-s", "nobody", "-u"}), 11, "noDefault"},
      {"a default naming no account with an address", without_dominant_address,
       With(kArgs, {"-u"}), 12, "defaultDNE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(ini_, c.ini);
    const std::string user_hive = ReadHostFile(machine_ / "user.reg");
    const std::string system_hive = ReadHostFile(machine_ / "system.reg");
    const ProgramRun outcome = Run(c.args);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << outcome.out;
    EXPECT_EQ(ReadHostFile(ini_), c.ini);
    EXPECT_EQ(ReadHostFile(machine_ / "user.reg"), user_hive);
    EXPECT_EQ(ReadHostFile(machine_ / "system.reg"), system_hive);
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(ini_.parent_path()), {}),
              std::vector<fs::path>{ini_});
    const std::vector<std::string> lines = MaskedLines(ReadHostFile(log_));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        std::string("Email Client Configuration failed with error : ") + c.failure),
              lines.end());
  }
}

TEST_F(EudoraAutoE2eTest, TheWindowsBuildUnderWineWritesTheSameCopy) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  const fs::path windows_program = WindowsProgram();
  if (windows_program.empty()) GTEST_SKIP() << "the win64 build of the program is missing";
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  const fs::path wine_ini = user / "AppData" / "Roaming" / kBelowAppData;
  WriteAll(wine_ini, std::string(kSeedHead) + kSeedTail);
  const std::vector<std::vector<std::string>> registry = {
      {"add", "HKLM\\SOFTWARE\\Clients\\Mail\\Eudora", "/ve", "/d", "Eudora", "/f"},
      {"add", "HKCR\\mailto\\shell\\open\\command", "/ve", "/d",
       "C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe /m %1", "/f"}};
  for (const std::vector<std::string>& args : registry) {
    const ProgramRun added = RunWindowsProgram(prefix.path(), "reg", args);
    ASSERT_EQ(added.exit_code, 0) << added.err;
  }

  const ProgramRun native = Run(kArgs);
  EXPECT_EQ(native.exit_code, 0) << native.out;
  const ProgramRun windows = RunWindowsProgram(prefix.path(), windows_program.string(), kArgs);
  EXPECT_EQ(windows.exit_code, 0) << windows.out << windows.err;
  EXPECT_EQ(ReadHostFile(wine_ini), ReadHostFile(ini_));
  EXPECT_EQ(ReadHostFile(ini_), std::string(kSeedHead) + kCopy + kSeedTail);
  EXPECT_EQ(RunLines(user / "AppData" / "Roaming" / "Quillbank.log"), RunLines(log_));
}

}  // namespace
}  // namespace quillbank::e2e
