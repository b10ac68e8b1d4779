// Runs of the program on one machine folder at the same time: each waits for
// the one before it, none loses what another wrote, and a run that waits too
// long ends without changing anything.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using quillbank::testing::FindHostFile;
using quillbank::testing::MaskedLines;
using quillbank::testing::ProgramRun;
using quillbank::testing::ReadHostFile;

constexpr const char* kBusyMessage = "Another Quillbank run is changing this machine; try again.";

std::vector<std::string> Account(const std::string& address, const char* client) {
  return {"-n", "Jane Doe", "-a", address, "-c", client};
}

class RunLockE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine = root / "machine";
    // A first run makes the machine, so the runs below share one.
    ASSERT_EQ(Run(Account("first@example.com", "4")).exit_code, 0);
  }
  void TearDown() override {
    if (lock_fd >= 0) close(lock_fd);
  }
  ProgramRun Run(const std::vector<std::string>& args, const std::string& program = QUILLBANK_PROGRAM) {
    return quillbank::testing::RunNativeProgram(machine, program, args);
  }
  // This test process takes the machine's lock, as a run of the program
  // holds it.
  void HoldTheMachine() {
    lock_fd = open((machine / "quillbank.lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lock_fd, 0);
    ASSERT_EQ(flock(lock_fd, LOCK_EX | LOCK_NB), 0);
  }
  void LetGo() {
    close(lock_fd);
    lock_fd = -1;
  }
  std::string Prefs() { return ReadHostFile(FindHostFile(machine, "prefs.js")); }

  const quillbank::testing::TemporaryFolder root{"lock-e2e"};
  fs::path machine;
  int lock_fd = -1;
};

TEST_F(RunLockE2eTest, RunsStartedTogetherEachKeepTheirAccount) {
  // Thunderbird's accounts live in prefs.js, Outlook 2000's in user.reg:
  // every run reads the store another one may just have written.
  const std::vector<std::pair<std::string, const char*>> runs = {
      {"one@example.com", "4"}, {"two@example.com", "1"}, {"three@example.com", "4"},
      {"four@example.com", "1"}, {"five@example.com", "4"}, {"six@example.com", "1"}};
  std::vector<std::future<ProgramRun>> started;
  for (const auto& [address, client] : runs) {
    started.push_back(std::async(std::launch::async, [this, address = address, client = client] {
      return Run(Account(address, client));
    }));
  }
  for (auto& run : started) {
    const ProgramRun outcome = run.get();
    EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  }
  const std::string prefs = Prefs();
  const std::string hive = ReadHostFile(machine / "user.reg");
  for (const auto& [address, client] : runs) {
    const std::string& store = std::string(client) == "4" ? prefs : hive;
    EXPECT_NE(store.find(address), std::string::npos) << address;
  }
}

TEST_F(RunLockE2eTest, ARunWaitsForTheMachineAndGoesOnWhenItIsFree) {
  HoldTheMachine();
  auto waiting = std::async(std::launch::async, [this] { return Run(Account("late@example.com", "4")); });
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(Prefs().find("late@example.com"), std::string::npos);  // still waiting
  LetGo();
  const ProgramRun outcome = waiting.get();
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out;
  EXPECT_NE(Prefs().find("late@example.com"), std::string::npos);
}

TEST_F(RunLockE2eTest, ARunThatWaitsTooLongEndsWith21AndChangesNothing) {
  HoldTheMachine();
  const std::string prefs = Prefs();
  const std::string hive = ReadHostFile(machine / "user.reg");
  const auto started = std::chrono::steady_clock::now();
  const ProgramRun outcome = Run(Account("blocked@example.com", "4"));
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(outcome.exit_code, 21);
  EXPECT_EQ(outcome.out.substr(0, outcome.out.find('\n')), kBusyMessage);
  EXPECT_GE(waited, std::chrono::seconds(10));
  EXPECT_LT(waited, std::chrono::seconds(20));
  EXPECT_EQ(Prefs(), prefs);
  EXPECT_EQ(ReadHostFile(machine / "user.reg"), hive);
  // The log tells the outcome as it tells the other refusals.
  const std::vector<std::string> log = MaskedLines(ReadHostFile(FindHostFile(machine, "Quillbank.log")));
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
            (std::vector<std::string>{kBusyMessage, "",
                                      "* Configuration Incomplete. Terminated automatically at <time> *",
                                      ""}));
}

TEST_F(RunLockE2eTest, AMachineFolderWithoutALockFileIsNotUsed) {
  const std::string hive = ReadHostFile(machine / "user.reg");
  struct Case {
    const char* name;
    bool as_nobody;  // the folder is root's and not writable for nobody
  };
  for (const Case& c : {Case{"a folder in the lock file's place", false},
                        Case{"a folder the user may not write", true}}) {
    SCOPED_TRACE(c.name);
    fs::remove(machine / "quillbank.lock");
    if (!c.as_nobody) fs::create_directory(machine / "quillbank.lock");
    if (c.as_nobody) {
      if (geteuid() != 0) continue;  // already another user: the folder is ours
      fs::permissions(root.path(), fs::perms(0755));
      fs::permissions(machine, fs::perms(0555));
    }
    const ProgramRun outcome =
        c.as_nobody ? Run({"--reuid=65534", "--regid=65534", "--clear-groups", QUILLBANK_PROGRAM,
                           "-n", "Jane Doe", "-a", "x@example.com", "-c", "4"},
                          "/usr/bin/setpriv")
                    : Run(Account("x@example.com", "4"));
    EXPECT_EQ(outcome.exit_code, 69) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find("cannot create the lock file"), std::string::npos) << outcome.err;
    EXPECT_EQ(Prefs().find("x@example.com"), std::string::npos);
    EXPECT_EQ(ReadHostFile(machine / "user.reg"), hive);
    fs::permissions(machine, fs::perms(0755));
    fs::remove_all(machine / "quillbank.lock");
  }
}

}  // namespace
