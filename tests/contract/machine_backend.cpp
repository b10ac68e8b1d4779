// The machine folder as a contract backend: a new temporary folder for each
// test, opened as the program opens it, and removed afterwards.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "env/platform/machine/machine_folder.h"
#include "env/registry_access.h"
#include "tests/contract/backend.h"

namespace quillbank::testing {
namespace {

namespace fs = std::filesystem;

class MachineBackend final : public Backend {
 public:
  MachineBackend() {
    char pattern[] = "/tmp/quillbank-contract-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    system_ = Open();
    fs::create_directories(HostPath(kFolder));
  }
  ~MachineBackend() override {
    next_run_.reset();
    system_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  Registry& registry() override { return platform().registry; }
  Files& files() override { return platform().files; }
  Environment& environment() override { return platform().environment; }
  Processes& processes() override { return platform().processes; }
  UserSpace& user() override { return platform().user; }
  RunLock& run_lock() override { return *platform().run_lock; }

  std::string key() const override { return "Software\\QuillbankContract"; }
  std::string folder() const override { return kFolder; }

  Registry& NextRunRegistry() override {
    next_run_ = Open();
    return next_run_->platform().registry;
  }
  std::shared_ptr<RunLock> OtherRunLock() override {
    std::shared_ptr<SystemServices> other = Open();
    return std::shared_ptr<RunLock>(other, other->platform().run_lock);
  }

  // Windows builds the environment from these registry values.
  void SetVariable(const std::string& name, const std::optional<std::string>& value) override {
    std::unique_ptr<RegistryKey> key;
    if (registry().Create(RegRoot::CurrentUser, "Environment", key) != 0) return;
    if (value) {
      SetText(*key, name, *value);
    } else {
      (void)key->DeleteValue(name);
    }
  }
  void MarkReadOnly(const std::string& path) override {
    fs::permissions(HostPath(path), fs::perms::owner_write | fs::perms::group_write |
                                        fs::perms::others_write,
                    fs::perm_options::remove);
  }
  bool MakeSymbolicLink(const std::string& link, const std::string& target) override {
    std::error_code failed;
    fs::create_symlink(HostPath(target), HostPath(link), failed);
    return !failed;
  }
  bool IsSymbolicLink(const std::string& path) override {
    return fs::is_symlink(HostPath(path));
  }
  // The system's list names a process by its command name, which is cut to
  // fifteen characters.
  std::optional<ProcessEntry> OwnProcess() override {
    return ProcessEntry{static_cast<std::uint32_t>(::getpid()), "contract_tests"};
  }

 private:
  static constexpr const char* kFolder = "C:\\Contract";

  Platform& platform() { return system_->platform(); }

  std::unique_ptr<SystemServices> Open() const {
    std::string error;
    std::unique_ptr<SystemServices> system = OpenMachineFolder(folder_.string(), error);
    if (!system) ADD_FAILURE() << "cannot open the machine folder: " << error;
    return system;
  }

  // The host path of a path below C:, spelled as the test spelled it.
  fs::path HostPath(std::string windows_path) const {
    for (char& c : windows_path) c = c == '\\' ? '/' : c;
    return folder_ / "drive_c" / windows_path.substr(3);
  }

  fs::path folder_;
  std::unique_ptr<SystemServices> system_;
  std::unique_ptr<SystemServices> next_run_;
};

}  // namespace

BackendKind SystemBackend() {
  return {"MachineFolder", [] { return std::unique_ptr<Backend>(new MachineBackend()); }};
}

}  // namespace quillbank::testing

#endif  // _WIN32
