// Every call a run makes to the files and registry services of a real machine
// folder is made to fail once, call by call, for each client, and so is every
// call of the undo of such a run. Whichever call fails, the stores are
// together exactly as they were or exactly as a run without the fault leaves
// them; a run that left them as they were says so in its exit code (an undo
// that left them changed, in its); and no temporary file stays behind. (Outlook 2000 is left
// out: a failed read of its version picks the newer store, and its MAPI step
// keeps the account when the mail service cannot be made, both on purpose.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <algorithm>
#include <map>
#include <regex>

#include "tests/support/mail_clients.h"
#include "app/client_configurators.h"
#include "app/config_app.h"
#include "env/platform/machine/machine_folder.h"
#include "tests/support/fake_platform.h"
#include "tests/support/captured_text.h"
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

// A hive as the registry reads it: its keys in order of their names, the
// blank lines between them dropped (a hive rewritten by a run lists its keys
// sorted, and every key above them; one a test appended to does not).
std::string Canonical(const std::string& hive) {
  std::vector<std::string> blocks;
  std::string header;
  std::size_t at = hive.find("\n[");
  header = hive.substr(0, at == std::string::npos ? hive.size() : at + 1);
  while (at != std::string::npos) {
    const std::size_t next = hive.find("\n[", at + 1);
    std::string block = hive.substr(at + 1, next == std::string::npos ? std::string::npos : next - at);
    while (!block.empty() && block.back() == '\n') block.pop_back();
    if (!block.empty()) blocks.push_back(block);
    at = next;
  }
  while (!header.empty() && header.back() == '\n') header.pop_back();
  // A key without values that a key below it implies is there either way.
  const auto name_of = [](const std::string& block) { return block.substr(1, block.find(']') - 1); };
  std::vector<std::string> names;
  for (const std::string& block : blocks) names.push_back(name_of(block));
  std::vector<std::string> kept;
  for (const std::string& block : blocks) {
    const bool implied =
        block.find('\n') == std::string::npos &&
        std::any_of(names.begin(), names.end(), [&](const std::string& other) {
          return other.rfind(name_of(block) + "\\\\", 0) == 0;
        });
    if (!implied) kept.push_back(block);
  }
  std::sort(kept.begin(), kept.end());
  for (const std::string& block : kept) header += "\n" + block;
  return header;
}

MachineState StateOf(const fs::path& machine) {
  static const std::regex stamp(R"((\]) [0-9]+\n|#time=[0-9a-f]+)");
  MachineState state;
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    const std::string name = fs::relative(entry.path(), machine).string();
    if (entry.path().filename() == "Quillbank.log" || name == "quillbank.lock") continue;
    // The undo journals are the program's own notes, not stores.
    if ((name + "/").find("/Quillbank/") != std::string::npos) continue;
    if (entry.is_directory()) {
      state[name + "/"] = "";
    } else {
      const std::string bytes = ReadHostFile(entry.path());
      state[name] = entry.path().extension() == ".reg"
                        ? Canonical(std::regex_replace(bytes, stamp, "$1 T\n"))
                        : bytes;
    }
  }
  return state;
}

// The names whose content differs between two states, for a failure's message.
std::string Differing(const MachineState& a, const MachineState& b) {
  std::string names;
  for (const auto& [name, bytes] : a) {
    if (!b.count(name) || b.at(name) != bytes) names += " " + name;
  }
  for (const auto& [name, bytes] : b) {
    if (!a.count(name)) names += " " + name;
  }
  return names;
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

  // Runs `command` on a fresh copy of `from` with call `fail_at` failing;
  // the exit code, the state it left, and how many calls it made. The copy
  // stays as the run left it, in `Copy()`.
  int Run(const std::string& command, const fs::path& from, int fail_at, MachineState& state,
          int& calls) {
    const fs::path machine = Copy();
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
    ConfigAppServices services;
    services.open_system = [&](SystemChoice, OpenFor, std::string&) {
      return std::make_unique<testing::BorrowedSystem>(platform);
    };
    services.make_factory = [](Platform& used, const ClientList& clients) {
      return MakeClientConfiguratorFactory(used, clients);
    };
    testing::CapturedText out;
    testing::CapturedText err;
    const int exit_code = ConfigApp(std::move(services), out, err).InitInstance(command);
    system.reset();
    state = StateOf(machine);
    calls = plan.calls;
    return exit_code;
  }
  static std::string Command(const Scenario& scenario) {
    return "-n \"Jane Doe\" -a jane@example.com -c " + std::to_string(scenario.client) +
           (scenario.make_default ? " -d" : "") + (scenario.overwrite ? " -u" : "");
  }
  fs::path Copy() const { return root_ / "run"; }

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
    ASSERT_EQ(Run(Command(scenario), machine, 0, new_state, calls), 0);
    ASSERT_NE(new_state, old_state);
    std::printf("fault sweep: %s makes %d calls\n", scenario.name, calls);
    for (int fail_at = 1; fail_at <= calls; ++fail_at) {
      MachineState state;
      int ignored = 0;
      const int exit_code = Run(Command(scenario), machine, fail_at, state, ignored);
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

TEST_F(FaultSweepTest, EveryFailedCallOfAnUndoLeavesTheStoresConfiguredOrAsTheyWere) {
  int cases = 0;
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.name);
    const fs::path machine = MakeTemplate(scenario);
    const MachineState old_state = StateOf(machine);
    MachineState new_state;
    int calls = 0;
    ASSERT_EQ(Run(Command(scenario), machine, 0, new_state, calls), 0);
    const fs::path configured = root_ / "configured";
    fs::remove_all(configured);
    fs::copy(Copy(), configured, fs::copy_options::recursive);
    MachineState undone;
    ASSERT_EQ(Run("--undo", configured, 0, undone, calls), 0);
    ASSERT_EQ(undone, old_state);
    for (int fail_at = 1; fail_at <= calls; ++fail_at) {
      MachineState state;
      int ignored = 0;
      const int exit_code = Run("--undo", configured, fail_at, state, ignored);
      ++cases;
      EXPECT_TRUE(state == old_state || state == new_state)
          << "call " << fail_at << " of " << calls << "; not as before:" << Differing(state, old_state)
          << "; not as configured:" << Differing(state, new_state);
      if (state == new_state) {
        EXPECT_NE(exit_code, 0) << "call " << fail_at;
      }
      EXPECT_FALSE(HoldsATemporaryFile(state)) << "call " << fail_at;
    }
  }
  std::printf("fault sweep: %d failed calls of an undo tried\n", cases);
}

}  // namespace
}  // namespace quillbank
