// Opening the user's home: the services of the Linux user's own
// environment, wired together.
#include "env/platform/home/home_system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include "env/platform/home/home_environment.h"
#include "env/platform/home/home_files.h"
#include "env/platform/home/home_layout.h"
#include "env/platform/home/home_processes.h"
#include "env/platform/home/home_registry.h"
#include "env/platform/home/home_user_space.h"
#include "env/platform/posix/host_clock.h"
#include "env/platform/posix/host_files.h"
#include "env/platform/posix/host_uuids.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRunLockFile = "quillbank.lock";

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

class HomeSystem final : public SystemServices {
 public:
  HomeSystem(std::string home, std::string state_folder)
      : user_(std::move(home), std::move(state_folder)) {}

  // Opens the run lock's file in the state folder.
  [[nodiscard]] bool Open(OpenFor purpose, std::string& error) {
    const fs::path lock_file = fs::path(*user_.StateFolder()) / kRunLockFile;
    if (purpose == OpenFor::Preview && !fs::exists(lock_file)) {
      platform_.run_lock = nullptr;
      return true;
    }
    return run_lock_.Open(lock_file, error);
  }
  Platform& platform() override { return platform_; }
  // HostPathOf keeps the default: home paths are host paths already.

 private:
  EmptyRegistry registry_;
  HomeFiles files_;
  HomeEnvironment environment_;
  HomeProcesses processes_;
  HostClock clock_;
  HostUuids uuids_;
  FileLock run_lock_;
  HomeUserSpace user_;
  Platform platform_{registry_, files_, environment_, processes_, clock_,
                     uuids_,    Utf8(), user_,        nullptr,    &run_lock_};
};

}  // namespace

std::unique_ptr<SystemServices> OpenUserHome(std::string& error, OpenFor purpose) {
  return OpenUserHome(Variable("HOME").value_or(""), Variable("XDG_STATE_HOME"), error, purpose);
}

std::unique_ptr<SystemServices> OpenUserHome(const std::string& home,
                                             const std::optional<std::string>& xdg_state_home,
                                             std::string& error, OpenFor purpose) {
  if (!fs::path(home).is_absolute()) {
    error = "HOME is not set to an absolute folder, so your home cannot be found. Nothing was "
            "changed.";
    return nullptr;
  }
  const std::string state_folder = StateFolderIn(home, xdg_state_home);
  if (purpose == OpenFor::Change && !CreatePrivateFolders(state_folder)) {
    error = "cannot create the folder " + state_folder + " (" + std::strerror(errno) +
            ") for the log and the run lock. Nothing was changed.";
    return nullptr;
  }
  auto system = std::make_unique<HomeSystem>(home, state_folder);
  if (!system->Open(purpose, error)) return nullptr;
  return system;
}

}  // namespace quillbank
