// Opening the machine folder: the services of one machine, wired together.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/ascii_text.h"
#include "env/platform/home/home_system.h"
#include "env/platform/posix/host_files.h"
#include "env/platform/posix/host_clock.h"
#include "env/platform/machine/machine_environment.h"
#include "env/platform/machine/machine_files.h"
#include "env/platform/machine/machine_folder.h"
#include "env/platform/machine/machine_processes.h"
#include "env/platform/machine/machine_registry.h"
#include "env/platform/machine/machine_run_lock.h"
#include "env/platform/posix/host_uuids.h"
#include "env/platform/machine/minimal_machine.h"
#include "env/platform/mapi.h"
#include "env/platform/windows_user_space.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// A host path below the user's home folder is shown as "~/...", as a shell
// user would type it.
std::string WithHomeAsTilde(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return path;
  std::string prefix = home;
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  if (path.size() > prefix.size() && StartsWith(path, prefix) &&
      path[prefix.size()] == '/') {
    return "~" + path.substr(prefix.size());
  }
  return path;
}

class MachineSystem final : public SystemServices {
 public:
  MachineSystem(const fs::path& folder, HostFileWriter write_hive,
                std::vector<ProcessEntry> listed)
      : registry_(std::move(write_hive)),
        files_(folder / "drive_c"),
        environment_(registry_),
        processes_(folder, std::move(listed)),
        run_lock_(registry_, folder) {}

  [[nodiscard]] bool Load(const fs::path& folder, OpenFor purpose, std::string& error) {
    // A preview creates no lock file; where none exists, no other run has
    // ever changed this folder, and it takes no lock.
    const bool locked = purpose == OpenFor::Change || fs::exists(folder / kRunLockFile);
    if (locked && !run_lock_.Open(error)) return false;
    if (!registry_.Load(folder, error)) return false;
    mapi_ = MakeRegistryMapiStandIn(registry_, uuids_);
    platform_.mapi = mapi_.get();
    if (locked) platform_.run_lock = &run_lock_;
    return true;
  }
  Platform& platform() override { return platform_; }
  std::optional<std::string> HostPathOf(const std::string& path) override {
    const std::optional<fs::path> host = files_.Resolve(path);
    if (!host) return std::nullopt;
    return WithHomeAsTilde(host->string());
  }

 private:
  MachineRegistry registry_;
  MachineFiles files_;
  MachineEnvironment environment_;
  MachineProcesses processes_;
  HostClock clock_;
  HostUuids uuids_;
  MachineRunLock run_lock_;
  std::unique_ptr<MapiAdmin> mapi_;
  WindowsUserSpace user_;
  Platform platform_{registry_, files_, environment_, processes_, clock_, uuids_, Windows1252(), user_};
};

// Makes sure `folder` holds a machine: one is created in a missing or empty
// folder, but a folder with other things in it is not taken over.
bool EnsureMachine(const fs::path& folder, OpenFor purpose, std::string& error) {
  if (fs::exists(folder / "user.reg") || fs::exists(folder / "system.reg")) return true;
  if (purpose == OpenFor::Preview) {
    error = "there is no machine in " + folder.string() +
            " yet, and a dry run creates none; a run without --dry-run creates it. Nothing was "
            "changed.";
    return false;
  }
  std::error_code failed;
  if (fs::exists(folder) && !fs::is_empty(folder, failed)) {
    error = "the folder " + folder.string() + " is not a machine folder (no user.reg or system.reg)";
    return false;
  }
  fs::create_directories(folder, failed);
  return CreateMinimalMachine(folder, error);
}

HostFileWriter ReplacingWriter() {
  return [](const std::string& path, const std::string& bytes) {
    return WriteHostFileReplacing(path, bytes);
  };
}

}  // namespace

std::string DefaultMachineFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return (fs::path(data) / "quillbank" / "machine").string();
  const char* home = std::getenv("HOME");
  return (fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "quillbank" / "machine").string();
}

std::unique_ptr<SystemServices> OpenMachineFolder(const std::string& folder_name, std::string& error,
                                                  HostFileWriter write_hive, OpenFor purpose) {
  const fs::path folder(folder_name);
  if (!EnsureMachine(folder, purpose, error)) return nullptr;
  // The host's processes are read once a run: the run's own check for
  // running clients gets this list again.
  std::vector<ProcessEntry> listed = ListMachineProcesses();
  if (ServedByWineserver(folder, listed)) {
    error = "a running wineserver is using the machine folder " + folder.string() +
            "; end it (wineserver -k) and try again. Nothing was changed.";
    return nullptr;
  }
  auto system = std::make_unique<MachineSystem>(
      folder, write_hive ? std::move(write_hive) : ReplacingWriter(), std::move(listed));
  if (!system->Load(folder, purpose, error)) return nullptr;
  return system;
}

SystemOpenResult OpenSystem(SystemChoice choice, OpenFor purpose) {
  SystemOpenResult result;
  if (choice == SystemChoice::UserHome) {
    result.services = OpenUserHome(result.error, purpose);
    return result;
  }
  const char* chosen = std::getenv("QUILLBANK_MACHINE");
  const std::string folder = chosen && *chosen ? chosen : DefaultMachineFolder();
  result.services = OpenMachineFolder(folder, result.error, {}, purpose);
  return result;
}

SystemKind KindOfSystem(SystemChoice choice) {
  return choice == SystemChoice::UserHome ? SystemKind::UserHome : SystemKind::MachineFolder;
}

}  // namespace quillbank
