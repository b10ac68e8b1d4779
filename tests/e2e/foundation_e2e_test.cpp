// The program as a process on a machine folder: what a user or a login script
// sees from the outside.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/wine_support.h"

namespace {

namespace fs = std::filesystem;
using quillbank::e2e::MaskedLines;
using quillbank::e2e::ProgramRun;
using quillbank::e2e::ReadFileBytes;

// Finds the one Quillbank.log below a machine folder.
fs::path FindLog(const fs::path& machine) {
  if (!fs::exists(machine)) return {};
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    if (entry.path().filename() == "Quillbank.log") return entry.path();
  }
  return {};
}

class FoundationE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillbank-e2e-XXXXXX";
    root = mkdtemp(pattern);
    data_home = root / "data";
  }
  void TearDown() override {
    if (sleeper > 0) {
      kill(sleeper, SIGKILL);
      waitpid(sleeper, nullptr, 0);
    }
    fs::remove_all(root);
  }
  // The default machine folder of a user whose data directory is `data_home`.
  fs::path DefaultMachine() const { return data_home / "quillbank" / "machine"; }
  ProgramRun RunOnDefaultMachine(const std::vector<std::string>& args) {
    // No QUILLBANK_MACHINE: the program uses the default folder below the
    // user's data directory.
    return quillbank::e2e::RunNativeProgram("", QUILLBANK_PROGRAM, args,
                                            {{"XDG_DATA_HOME", data_home.string()}});
  }
  // Starts a process whose executable is named thunderbird.exe.
  void StartFakeThunderbird() {
    const fs::path copy = root / "thunderbird.exe";
    fs::copy_file("/bin/sleep", copy);
    sleeper = fork();
    if (sleeper == 0) {
      execl(copy.c_str(), "thunderbird.exe", "60", nullptr);
      _exit(127);
    }
    usleep(200 * 1000);
  }

  fs::path root;
  fs::path data_home;
  pid_t sleeper = -1;
};

TEST_F(FoundationE2eTest, OutOfRangeClientOnAFreshMachineFailsWithCodeTen) {
  const ProgramRun outcome = RunOnDefaultMachine({"-n", "Jane Doe", "-a", "jane@example.com", "-c", "9"});
  EXPECT_EQ(outcome.exit_code, 10);
  EXPECT_NE(outcome.out.find("must be a client number from 0 to 4"), std::string::npos) << outcome.out;
  const fs::path log = FindLog(DefaultMachine());
  ASSERT_FALSE(log.empty());
  EXPECT_NE(outcome.out.find("Log file: C:\\"), std::string::npos) << outcome.out;
  EXPECT_EQ(MaskedLines(ReadFileBytes(log)),
            (std::vector<std::string>{
                "Quillbank - Tessaline Log",
                "-------------------------------------------",
                "",
                "* Beginning Configuration (command line) at <time> *",
                "",
                "Searching for Mozilla Thunderbird ... not detected.",
                "Searching for Qualcomm Eudora ... not detected.",
                "Searching for Microsoft Outlook Express ... not detected.",
                "Searching for Microsoft Windows Mail ... not detected.",
                "Searching for Microsoft Outlook ... not detected.",
                "",
                "Detecting default email client ... done.",
                "",
                "User Entered Email Address: jane@example.com",
                "User Entered Display Name: Jane Doe",
                "Make Account Default: No",
                "Overwrite Existing Account: No",
                "Email Client Configuration failed with error code: -1",
                "Description: ",
                "* Configuration Failed at <time> *",
                "",
            }));
}

TEST_F(FoundationE2eTest, MissingOptionWritesNothingAtAll) {
  const ProgramRun outcome = RunOnDefaultMachine({"-n", "Jane Doe", "-a", "jane@example.com"});
  EXPECT_EQ(outcome.exit_code, 64);
  EXPECT_FALSE(fs::exists(DefaultMachine()));

  // Without arguments the native build, which has no dialog, explains the
  // command line instead.
  const ProgramRun bare = RunOnDefaultMachine({});
  EXPECT_EQ(bare.exit_code, 64);
  EXPECT_NE(bare.err.find("This build has no dialog"), std::string::npos) << bare.err;
  EXPECT_NE(bare.err.find("-auto"), std::string::npos) << bare.err;
  EXPECT_FALSE(fs::exists(DefaultMachine()));
}

TEST_F(FoundationE2eTest, RunningThunderbirdRefusesAndAutomaticCloseEndsIt) {
  StartFakeThunderbird();
  const ProgramRun refused = RunOnDefaultMachine({"-n", "Jane Doe", "-a", "jane@example.com", "-c", "4"});
  EXPECT_EQ(refused.exit_code, 20) << refused.out;
  std::vector<std::string> lines = MaskedLines(ReadFileBytes(FindLog(DefaultMachine())));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "* Configuration Incomplete. Terminated automatically at <time> *");
  EXPECT_EQ(kill(sleeper, 0), 0) << "a refused run must not end the client";

  const ProgramRun automatic = RunOnDefaultMachine({"-auto", "-p", "Tess-", "-x"});
  EXPECT_EQ(automatic.exit_code, 13) << automatic.out;  // the fresh machine has no default client
  lines = MaskedLines(ReadFileBytes(FindLog(DefaultMachine())));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Running Email Client Detected: thunderbird.exe. Closed."),
            lines.end());
  EXPECT_EQ(lines[lines.size() - 4], "Email Client Configuration failed with error : unsupportedDef");
  int status = 0;
  EXPECT_EQ(waitpid(sleeper, &status, WNOHANG), sleeper) << "the client must have ended";
  sleeper = -1;
}

}  // namespace
