// The machine folder's registry changes are one transaction per run: nothing
// reaches the hives before the configurator has finished, each changed hive is
// then written once, and a hive that cannot be written fails the run with
// status 7 and the files as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/mail_clients.h"
#include "session/config_session.h"
#include "app/client_configurators.h"
#include "env/platform/machine/machine_folder.h"
#include "env/registry_access.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

using testing::AppendHostFile;
using testing::ReadHostFile;

class RegistryCommitTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeMachine(); }

  // A minimal machine with Outlook Express's account store and a key whose
  // name Windows-1252 cannot hold.
  void MakeMachine() {
    fs::create_directories(folder_);
    std::string error;
    ASSERT_TRUE(OpenMachineFolder(folder_.string(), error)) << error;  // a minimal machine
    AppendHostFile(folder_ / "user.reg",
                   "[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts] 1700000000\n\n"
                   "[Software\\\\\\x0422\\x0435\\x0441\\x0442] 1700000000\n\"v\"=\"\\x0416\"\n\n");
  }

  // Opens the folder with a hive writer that counts writes per file name and
  // fails those of `failing`.
  std::unique_ptr<SystemServices> Open(const std::string& failing = "") {
    std::string error;
    auto system = OpenMachineFolder(folder_.string(), error,
                                    [this, failing](const std::string& path, const std::string& bytes) {
                                      const std::string name = fs::path(path).filename().string();
                                      ++writes_[name];
                                      if (name == failing) return false;
                                      std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
                                      return true;
                                    });
    EXPECT_TRUE(system) << error;
    return system;
  }

  const testing::TemporaryFolder root_{"commit"};
  const fs::path folder_ = root_ / "machine";
  std::map<std::string, int> writes_;
};

TEST_F(RegistryCommitTest, ARunWritesEachChangedHiveOnceAndAFailedWriteChangesNothing) {
  struct Case {
    const char* name;
    std::string failing;  // hive file whose write fails
    bool account_exists;  // the run finds the account and writes nothing
    int exit_code;
    int user_writes;
    bool user_reg_unchanged;
  };
  const Case cases[] = {
      {"a new account", "", false, 0, 1, false},
      {"user.reg cannot be written", "user.reg", false, 7, 1, true},
      {"the account exists already: a read-only run", "user.reg", true, 5, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_);
    MakeMachine();
    if (c.account_exists) {
      AppendHostFile(folder_ / "user.reg",
                     "[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts\\\\00000001] 1700000000\n"
                     "\"SMTP Email Address\"=\"jane@example.com\"\n\n");
    }
    const std::string user_before = ReadHostFile(folder_ / "user.reg");
    const std::string system_before = ReadHostFile(folder_ / "system.reg");
    {
      auto system = Open(c.failing);
      ASSERT_TRUE(system);
      Platform& platform = system->platform();
      auto factory = MakeClientConfiguratorFactory(platform, MachineClients());
      RunState state;
      state.command_line = true;
      state.address = "jane@example.com";
      state.display_name = "Jane Doe";
      state.client_index = 0;
      ConfigSession session(platform, MachineClients(), *factory, state, nullptr);
      ASSERT_TRUE(session.OnInitDialog());
      session.OnConfigure();
      EXPECT_EQ(state.exit_code, c.exit_code);
      if (c.exit_code == 7) {
        EXPECT_NE(state.outcome_message.find("could not be written"), std::string::npos);
      }
    }
    EXPECT_EQ(writes_["user.reg"], c.user_writes);
    EXPECT_EQ(writes_["system.reg"], 0);
    EXPECT_EQ(ReadHostFile(folder_ / "user.reg") == user_before, c.user_reg_unchanged);
    EXPECT_EQ(ReadHostFile(folder_ / "system.reg"), system_before);
    const std::string after = ReadHostFile(folder_ / "user.reg");
    EXPECT_NE(after.find("[Software\\\\\\x0422\\x0435\\x0441\\x0442] 1700000000\n\"v\"=\"\\x0416\"\n"),
              std::string::npos);
    writes_.clear();
  }
}

TEST_F(RegistryCommitTest, WhenTheSecondHiveFailsTheFirstGetsItsOldTextBack) {
  const std::string user_before = ReadHostFile(folder_ / "user.reg");
  const std::string system_before = ReadHostFile(folder_ / "system.reg");
  auto system = Open("system.reg");
  ASSERT_TRUE(system);
  Registry& registry = system->platform().registry;
  for (const RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(registry.Create(root, "Software\\Quillbank", key), 0);
    ASSERT_EQ(SetText(*key, "x", "y"), 0);
  }
  EXPECT_EQ(ReadHostFile(folder_ / "user.reg"), user_before);  // nothing before the commit
  EXPECT_NE(registry.Commit(), 0);
  EXPECT_EQ(ReadHostFile(folder_ / "user.reg"), user_before);
  EXPECT_EQ(ReadHostFile(folder_ / "system.reg"), system_before);
  EXPECT_EQ(writes_["user.reg"], 2);  // the new text, then the old one again
}

}  // namespace
}  // namespace quillbank
