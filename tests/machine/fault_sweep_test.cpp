// Every call a run makes to the files and registry services of a real machine
// folder is made to fail once, call by call, for each client. Whichever call
// fails, the stores are together exactly as they were or exactly as a run
// without the fault leaves them; a run that left them as they were says so in
// its exit code; and no temporary file stays behind. (Outlook 2000 is left
// out: a failed read of its version picks the newer store, and its MAPI step
// keeps the account when the mail service cannot be made, both on purpose.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "tests/support/mail_clients.h"
#include "session/config_session.h"
#include "app/client_configurators.h"
#include "env/platform/machine/machine_folder.h"
#include "tests/support/fake_platform.h"
#include "tests/support/files_wrapper.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// Counts the calls of a run and makes the one numbered `fail_at` fail.
struct FaultPlan {
  int fail_at = 0;  // 0: none fails
  int calls = 0;
  bool FailNow() { return ++calls == fail_at; }
};

class FaultyFiles final : public testing::FilesWrapper {
 public:
  FaultyFiles(Files& files, FaultPlan& plan) : FilesWrapper(files), plan_(plan) {}
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (plan_.FailNow()) return std::nullopt;
    return FilesWrapper::ReadFile(path);
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    if (plan_.FailNow()) return nullptr;
    return FilesWrapper::OpenForAppend(path);
  }
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    if (plan_.FailNow()) return FileWrite::Failed;
    return FilesWrapper::ReplaceContents(path, bytes);
  }
  bool DeleteFile(const std::string& path) override {
    return !plan_.FailNow() && FilesWrapper::DeleteFile(path);
  }
  bool CreateFolder(const std::string& path) override {
    return !plan_.FailNow() && FilesWrapper::CreateFolder(path);
  }
  bool RemoveFolder(const std::string& path) override {
    return !plan_.FailNow() && FilesWrapper::RemoveFolder(path);
  }
  bool FileExists(const std::string& path) override {
    return !plan_.FailNow() && FilesWrapper::FileExists(path);
  }
  bool FolderExists(const std::string& path) override {
    return !plan_.FailNow() && FilesWrapper::FolderExists(path);
  }
  std::vector<std::string> ListFolder(const std::string& pattern) override {
    if (plan_.FailNow()) return {};
    return FilesWrapper::ListFolder(pattern);
  }

 private:
  FaultPlan& plan_;
};

class FaultyKey final : public RegistryKey {
 public:
  FaultyKey(std::unique_ptr<RegistryKey> key, FaultPlan& plan) : key_(std::move(key)), plan_(plan) {}
  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : key_->QueryValue(name, capacity, out);
  }
  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : key_->SetValue(name, type, data);
  }
  long DeleteValue(std::string_view name) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : key_->DeleteValue(name);
  }
  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : key_->EnumKey(index, capacity, name);
  }
  long QuerySubkeyCount(std::uint32_t& count) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : key_->QuerySubkeyCount(count);
  }

 private:
  std::unique_ptr<RegistryKey> key_;
  FaultPlan& plan_;
};

class FaultyRegistry final : public Registry {
 public:
  FaultyRegistry(Registry& registry, FaultPlan& plan) : registry_(registry), plan_(plan) {}
  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override {
    if (plan_.FailNow()) return win32_error::kAccessDenied;
    return Wrap(registry_.Open(root, path, access, key), key);
  }
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    if (plan_.FailNow()) return win32_error::kAccessDenied;
    return Wrap(registry_.Create(root, path, key), key);
  }
  long DeleteKey(RegRoot root, std::string_view path) override {
    return plan_.FailNow() ? win32_error::kAccessDenied : registry_.DeleteKey(root, path);
  }
  long Commit() override { return plan_.FailNow() ? win32_error::kCantWrite : registry_.Commit(); }

 private:
  long Wrap(long result, std::unique_ptr<RegistryKey>& key) {
    if (result == win32_error::kSuccess) key = std::make_unique<FaultyKey>(std::move(key), plan_);
    return result;
  }
  Registry& registry_;
  FaultPlan& plan_;
};

using testing::AppendHostFile;
using testing::ReadHostFile;

// Every file and folder of the machine but the log and the lock file, hive
// time stamps masked (a rewritten key gets the time of its run).
using MachineState = std::map<std::string, std::string>;
MachineState StateOf(const fs::path& machine) {
  static const std::regex stamp(R"((\]) [0-9]+\n|#time=[0-9a-f]+)");
  MachineState state;
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    const std::string name = fs::relative(entry.path(), machine).string();
    if (entry.path().filename() == "Quillbank.log" || name == "quillbank.lock") continue;
    if (entry.is_directory()) {
      state[name + "/"] = "";
    } else {
      const std::string bytes = ReadHostFile(entry.path());
      state[name] = entry.path().extension() == ".reg" ? std::regex_replace(bytes, stamp, "$1 T\n")
                                                       : bytes;
    }
  }
  return state;
}

bool HoldsATemporaryFile(const MachineState& state) {
  for (const auto& [name, bytes] : state) {
    if (name.find("quillbank-tmp") != std::string::npos || name.find(".tmp") != std::string::npos) {
      return true;
    }
  }
  return false;
}

struct Scenario {
  const char* name;
  int client;
  bool make_default;
  bool overwrite;
  // Lays out the client's store below the machine folder and the user's
  // application data folder.
  std::function<void(const fs::path& machine, const fs::path& roaming)> arrange;
};

class FaultSweepTest : public ::testing::Test {
 protected:
  // A minimal machine with the scenario's store, made once per scenario.
  fs::path MakeTemplate(const Scenario& scenario) {
    const fs::path machine = root_ / "template";
    fs::remove_all(machine);
    std::string error;
    EXPECT_TRUE(OpenMachineFolder(machine.string(), error)) << error;
    fs::path roaming;
    for (const auto& user : fs::directory_iterator(machine / "drive_c" / "users")) {
      if (fs::exists(user.path() / "AppData" / "Roaming")) roaming = user.path() / "AppData" / "Roaming";
    }
    scenario.arrange(machine, roaming);
    return machine;
  }

  // Runs the scenario on a fresh copy of the template with call `fail_at`
  // failing; the exit code, the state it left, and how many calls it made.
  int Run(const Scenario& scenario, const fs::path& from, int fail_at, MachineState& state,
          int& calls) {
    const fs::path machine = root_ / "run";
    fs::remove_all(machine);
    fs::copy(from, machine, fs::copy_options::recursive);
    std::string error;
    std::unique_ptr<SystemServices> system = OpenMachineFolder(machine.string(), error);
    if (!system) {
      ADD_FAILURE() << error;
      return -1;
    }
    Platform& real = system->platform();
    FaultPlan plan{fail_at};
    FaultyFiles files(real.files, plan);
    FaultyRegistry registry(real.registry, plan);
    testing::FixedClock clock;
    testing::SequenceUuids uuids;  // the same account file names in every run
    Platform platform{registry, files, real.environment, real.processes, clock, uuids,
                      real.code_page, real.user, real.mapi, real.run_lock};
    const std::unique_ptr<ConfiguratorFactory> factory = MakeClientConfiguratorFactory(platform, MachineClients());
    RunState run;
    run.command_line = true;
    run.client_index = scenario.client;
    run.address = "jane@example.com";
    run.display_name = "Jane Doe";
    run.make_default = scenario.make_default;
    run.overwrite_existing = scenario.overwrite;
    {
      ConfigSession session(platform, MachineClients(), *factory, run, nullptr);
      if (session.OnInitDialog()) session.OnConfigure();
    }
    system.reset();
    state = StateOf(machine);
    calls = plan.calls;
    return run.exit_code;
  }

  const testing::TemporaryFolder root_{"sweep"};
};

const Scenario kScenarios[] = {
    {"Outlook Express, new default account", 0, true, false,
     [](const fs::path& machine, const fs::path&) {
       AppendHostFile(machine / "user.reg",
              "\n[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts] 1700000000\n");
     }},
    {"Outlook 2002 and later profile store", 1, true, false, [](const fs::path&, const fs::path&) {}},
    {"Windows Mail, new default account", 2, true, false,
     [](const fs::path& machine, const fs::path& roaming) {
       AppendHostFile(machine / "user.reg",
              "\n[Software\\\\Microsoft\\\\Windows Mail] 1700000000\n"
              "\"Store Root\"=\"%USERPROFILE%\\\\AppData\\\\Local\\\\Microsoft\\\\Windows Mail\\\\\"\n");
       fs::create_directories(roaming.parent_path() / "Local/Microsoft/Windows Mail/Local Folders");
     }},
    {"Eudora, reset of a persona", 3, false, true,
     [](const fs::path&, const fs::path& roaming) {
       AppendHostFile(roaming / "Qualcomm/Eudora/Eudora.ini",
              "[Settings]\r\nRealName=Bob\r\nReturnAddress=bob@example.com\r\n[Personalities]\r\n"
              "Persona0=Persona-jane@example.com\r\n[Persona-jane@example.com]\r\n"
              "ReturnAddress=jane@example.com\r\n");
     }},
    {"Thunderbird, a first-time user", 4, true, false, [](const fs::path&, const fs::path&) {}},
    {"Thunderbird, an account beside another", 4, false, false,
     [](const fs::path&, const fs::path& roaming) {
       AppendHostFile(roaming / "Thunderbird/profiles.ini",
              "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/k.default-release\n\n"
              "[InstallAAAA]\nDefault=Profiles/k.default-release\nLocked=1\n");
       AppendHostFile(roaming / "Thunderbird/Profiles/k.default-release/prefs.js",
              "user_pref(\"mail.account.account1.identities\", \"id1\");\n"
              "user_pref(\"mail.account.account1.server\", \"server1\");\n"
              "user_pref(\"mail.accountmanager.accounts\", \"account1\");\n"
              "user_pref(\"mail.identity.id1.useremail\", \"bob@example.com\");\n"
              "user_pref(\"mail.server.server1.type\", \"pop3\");\n");
     }},
};

TEST_F(FaultSweepTest, EveryFailedCallLeavesTheStoresOldOrNew) {
  int cases = 0;
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.name);
    const fs::path machine = MakeTemplate(scenario);
    const MachineState old_state = StateOf(machine);
    MachineState new_state;
    int calls = 0;
    ASSERT_EQ(Run(scenario, machine, 0, new_state, calls), 0);
    ASSERT_NE(new_state, old_state);
    std::printf("fault sweep: %s makes %d calls\n", scenario.name, calls);
    for (int fail_at = 1; fail_at <= calls; ++fail_at) {
      MachineState state;
      int ignored = 0;
      const int exit_code = Run(scenario, machine, fail_at, state, ignored);
      ++cases;
      EXPECT_TRUE(state == old_state || state == new_state) << "call " << fail_at << " of " << calls;
      if (state == old_state) {
        EXPECT_NE(exit_code, 0) << "call " << fail_at;
      }
      EXPECT_FALSE(HoldsATemporaryFile(state)) << "call " << fail_at;
    }
  }
  RecordProperty("cases", cases);
  std::printf("fault sweep: %d failed calls tried\n", cases);
}

}  // namespace
}  // namespace quillbank
