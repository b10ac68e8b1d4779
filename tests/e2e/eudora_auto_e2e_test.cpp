// Eudora as the default mail client of a machine folder, with the program
// started as a process in the automatic mode: the dominant personality is
// copied as a persona named prefix + address, found again by that name on a
// later run (left alone, or reset with -u), while the original stays byte for
// byte as it was; failed runs change nothing; and the Windows build under
// wine64 writes the same Eudora.ini on an equal prefix.
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
using testing::ReadTestData;
using testing::WriteHostFile;

constexpr const char* kBelowAppData = "Qualcomm/Eudora/Eudora.ini";

const std::vector<std::string> kArgs{"-auto", "-p", "Tessaline "};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Eudora is installed and takes mailto links.
std::vector<std::string> Registry() {
  return {ReadTestData("registry/eudora.reg"), ReadTestData("registry/eudora_default.reg")};
}

// jane's Eudora.ini: her settings account, the dominant personality, and her
// work persona; and the same after the first automatic run inserted the copy
// after the persona list.
std::string Seed() { return ReadTestData("eudora/work_persona.ini"); }
std::string Copied() { return ReadTestData("eudora/work_persona_copied.ini"); }

class EudoraAutoE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteHostFile(ini_, Seed()); }

  ProgramRun Run(const std::vector<std::string>& args) { return machine_.Run(args); }
  // The run's own lines, from the automatic mode's first line to the end.
  std::vector<std::string> RunLines() const { return AutomaticRunLines(machine_.LogLines()); }

  const JaneMachine machine_{"eudora-auto", Registry()};
  const fs::path ini_ = machine_.Roaming() / kBelowAppData;
};

TEST_F(EudoraAutoE2eTest, TheCopyIsMadeOnceAndResetByItsNameOnly) {
  const std::string copied = Copied();

  const ProgramRun first = Run(kArgs);
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  // The original's lines are all there, unchanged and in place.
  EXPECT_EQ(ReadHostFile(ini_), copied);
  const std::vector<std::string> lines = RunLines();
  ASSERT_GE(lines.size(), 12u) << ReadHostFile(machine_.LogFile());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 12),
            (std::vector<std::string>{
                "Automatically Configuring from default email client's default account.",
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
  WriteHostFile(ini_, changed);
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
  // The dominant personality without its address (and server).
  std::string without_dominant_address = Seed();
  const std::string dominant = "ReturnAddress=jane@tessaline.net\r\nPopServer=pop.example.com\r\n";
  without_dominant_address.erase(without_dominant_address.find(dominant), dominant.size());
  const Case cases[] = {
      {"a search without a match", Seed(),
       With(kArgs, {"-s", "nobody", "-u"}), 11, "noDefault"},
      {"a default naming no account with an address", without_dominant_address,
       With(kArgs, {"-u"}), 12, "defaultDNE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHostFile(ini_, c.ini);
    const std::string user_hive = ReadHostFile(machine_.path() / "user.reg");
    const std::string system_hive = ReadHostFile(machine_.path() / "system.reg");
    const ProgramRun outcome = Run(c.args);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << outcome.out;
    EXPECT_EQ(ReadHostFile(ini_), c.ini);
    EXPECT_EQ(ReadHostFile(machine_.path() / "user.reg"), user_hive);
    EXPECT_EQ(ReadHostFile(machine_.path() / "system.reg"), system_hive);
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(ini_.parent_path()), {}),
              std::vector<fs::path>{ini_});
    EXPECT_TRUE(Holds(machine_.LogLines(),
                      std::string("Email Client Configuration failed with error : ") + c.failure));
  }
}

TEST_F(EudoraAutoE2eTest, TheWindowsBuildUnderWineWritesTheSameCopy) {
  if (const std::string why = WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  const fs::path wine_ini = user / "AppData" / "Roaming" / kBelowAppData;
  WriteHostFile(wine_ini, Seed());
  const ProgramRun imported = ImportRegistry(prefix, Registry());
  ASSERT_EQ(imported.exit_code, 0) << imported.err;

  const ProgramRun native = Run(kArgs);
  EXPECT_EQ(native.exit_code, 0) << native.out;
  const ProgramRun windows = RunWindowsProgram(prefix.path(), WindowsProgram().string(), kArgs);
  EXPECT_EQ(windows.exit_code, 0) << windows.out << windows.err;
  EXPECT_EQ(ReadHostFile(wine_ini), ReadHostFile(ini_));
  EXPECT_EQ(ReadHostFile(ini_), Copied());
  EXPECT_EQ(AutomaticRunLines(MaskedLines(ReadHostFile(user / "AppData" / "Roaming" / "Quillbank.log"))),
            RunLines());
}

}  // namespace
}  // namespace quillbank::e2e
