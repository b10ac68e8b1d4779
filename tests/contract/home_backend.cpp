// The user's home as a contract backend: a new temporary folder as HOME for
// each test, opened as the program opens it, and removed afterwards. Its
// environment is this process's own.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "env/platform/home/home_system.h"
#include "tests/contract/backend.h"
#include "tests/support/machine_fixture.h"

namespace quillbank::testing {
namespace {

namespace fs = std::filesystem;

class UserHomeBackend final : public Backend {
 public:
  UserHomeBackend() {
    system_ = Open();
    fs::create_directories(folder());
  }

  Registry& registry() override { return platform().registry; }
  Files& files() override { return platform().files; }
  Environment& environment() override { return platform().environment; }
  Processes& processes() override { return platform().processes; }
  UserSpace& user() override { return platform().user; }
  RunLock& run_lock() override { return *platform().run_lock; }

  std::string key() const override { return "Software\\QuillbankContract"; }
  std::string folder() const override { return (root_ / "contract").string(); }

  // The home has no registry that a next run could see.
  Registry& NextRunRegistry() override { return registry(); }
  std::shared_ptr<RunLock> OtherRunLock() override {
    std::shared_ptr<SystemServices> other = Open();
    return std::shared_ptr<RunLock>(other, other->platform().run_lock);
  }

  void SetVariable(const std::string& name, const std::optional<std::string>& value) override {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  void MarkReadOnly(const std::string& path) override { ::chmod(path.c_str(), 0444); }
  bool MakeSymbolicLink(const std::string& link, const std::string& target) override {
    return ::symlink(target.c_str(), link.c_str()) == 0;
  }
  bool IsSymbolicLink(const std::string& path) override { return fs::is_symlink(path); }
  // Named after the file of its executable.
  std::optional<ProcessEntry> OwnProcess() override {
    return ProcessEntry{static_cast<std::uint32_t>(::getpid()), "contract_tests"};
  }

 private:
  Platform& platform() { return system_->platform(); }

  std::unique_ptr<SystemServices> Open() const {
    std::string error;
    std::unique_ptr<SystemServices> system =
        OpenUserHome(root_.path().string(), std::nullopt, error);
    if (!system) ADD_FAILURE() << "cannot open the home: " << error;
    return system;
  }

  TemporaryFolder root_{"contract-home"};
  std::unique_ptr<SystemServices> system_;
};

}  // namespace

BackendKind HomeBackend() {
  return {"UserHome", [] { return std::unique_ptr<Backend>(new UserHomeBackend()); }};
}

}  // namespace quillbank::testing

#endif  // _WIN32
