#include "env/platform/machine/machine_run_lock.h"

namespace quillbank {

bool MachineRunLock::Open(std::string& error) { return lock_.Open(folder_ / kRunLockFile, error); }

bool MachineRunLock::Acquire(std::uint32_t timeout_ms) {
  if (!lock_.Acquire(timeout_ms)) return false;
  std::string unreadable;
  if (registry_.Reload(folder_, unreadable)) return true;
  lock_.Release();
  return false;
}

void MachineRunLock::Release() { lock_.Release(); }

}  // namespace quillbank
