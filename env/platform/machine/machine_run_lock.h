// One run at a time changes the machine folder: an flock on quillbank.lock
// in the folder, held for the whole run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "env/platform/posix/host_files.h"
#include "env/platform/machine/machine_registry.h"
#include "env/platform/platform.h"

namespace quillbank {

inline constexpr const char* kRunLockFile = "quillbank.lock";

// The hives were read when the folder was opened; once the lock is held they
// are read again, since the run that held it before may have changed them in
// the meantime.
class MachineRunLock final : public RunLock {
 public:
  MachineRunLock(MachineRegistry& registry, std::filesystem::path folder)
      : registry_(registry), folder_(std::move(folder)) {}

  // Opens (creating) the lock file; false with the reason in `error`.
  [[nodiscard]] bool Open(std::string& error);
  bool Acquire(std::uint32_t timeout_ms) override;
  void Release() override;

 private:
  MachineRegistry& registry_;
  std::filesystem::path folder_;
  FileLock lock_;
};

}  // namespace quillbank
