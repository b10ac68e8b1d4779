// The program as a process on a machine folder: what a user or a login script
// sees from the outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/program_run.h"
#include "tests/support/test_data.h"

namespace {

namespace fs = std::filesystem;
using quillbank::testing::BackgroundProcess;
using quillbank::testing::MaskedLines;
using quillbank::testing::ProgramRun;
using quillbank::testing::ReadHostFile;
using quillbank::testing::ReadTestData;

// Finds the one Quillbank.log below a machine folder.
fs::path FindLog(const fs::path& machine) {
  return quillbank::testing::FindHostFile(machine, "Quillbank.log");
}

class FoundationE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { data_home = root / "data"; }
  // The default machine folder of a user whose data directory is `data_home`.
  fs::path DefaultMachine() const { return data_home / "quillbank" / "machine"; }
  ProgramRun RunOnDefaultMachine(const std::vector<std::string>& args) {
    // No QUILLBANK_MACHINE: the program uses the default folder below the
    // user's data directory.
    return quillbank::testing::RunNativeProgram("", QUILLBANK_PROGRAM, args,
                                                {{"XDG_DATA_HOME", data_home.string()}});
  }
  // Starts a process whose executable is named thunderbird.exe.
  void StartFakeThunderbird() {
    const fs::path copy = root / "thunderbird.exe";
    fs::copy_file("/bin/sleep", copy);
    sleeper.emplace(quillbank::testing::ProcessLaunch{{copy.string(), "60"}});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }

  const quillbank::testing::TemporaryFolder root{"e2e"};
  fs::path data_home;
  std::optional<BackgroundProcess> sleeper;
};

TEST_F(FoundationE2eTest, OutOfRangeClientOnAFreshMachineFailsWithCodeTen) {
  const ProgramRun outcome = RunOnDefaultMachine({"-n", "Jane Doe", "-a", "jane@example.com", "-c", "9"});
  EXPECT_EQ(outcome.exit_code, 10);
  EXPECT_NE(outcome.out.find("must be a client number from 0 to 4"), std::string::npos) << outcome.out;
  const fs::path log = FindLog(DefaultMachine());
  ASSERT_FALSE(log.empty());
  EXPECT_NE(outcome.out.find("Log file: C:\\"), std::string::npos) << outcome.out;
  // The printed path also says where the log lies on this computer.
  EXPECT_NE(outcome.out.find(" (" + log.string() + ")\n"), std::string::npos) << outcome.out;
  EXPECT_EQ(MaskedLines(ReadHostFile(log)),
            MaskedLines(ReadTestData({"logs/banner_command_line.log", "logs/detection_none.log",
                                      "logs/out_of_range_request.log"})));
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
  std::vector<std::string> lines = MaskedLines(ReadHostFile(FindLog(DefaultMachine())));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "* Configuration Incomplete. Terminated automatically at <time> *");
  EXPECT_FALSE(sleeper->WaitForEnd(std::chrono::milliseconds(0)))
      << "a refused run must not end the client";

  const ProgramRun automatic = RunOnDefaultMachine({"-auto", "-p", "Tess-", "-x"});
  EXPECT_EQ(automatic.exit_code, 13) << automatic.out;  // the fresh machine has no default client
  lines = MaskedLines(ReadHostFile(FindLog(DefaultMachine())));
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Running Email Client Detected: thunderbird.exe. Closed."),
            lines.end());
  EXPECT_EQ(lines[lines.size() - 4], "Email Client Configuration failed with error : unsupportedDef");
  EXPECT_TRUE(sleeper->WaitForEnd(std::chrono::milliseconds(0))) << "the client must have ended";
}

}  // namespace
