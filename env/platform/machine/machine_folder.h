// A Windows machine stood in for by a folder laid out like a Wine prefix:
// user.reg (HKEY_CURRENT_USER) and system.reg (HKEY_LOCAL_MACHINE) in Wine's
// registry file format, and drive_c/ as drive C:.
#pragma once

#include <memory>
#include <string>

#include "env/platform/system.h"

namespace quillbank {

// Opens the machine folder, creating a minimal machine in a missing or empty
// folder. Null, with the reason in `error`, when the folder cannot be used:
// a running wineserver serves it, a hive cannot be read, or the lock file that
// keeps runs apart (quillbank.lock in the folder) cannot be created.
[[nodiscard]] std::unique_ptr<SystemServices> OpenMachineFolder(const std::string& folder,
                                                                std::string& error);

// The folder used without QUILLBANK_MACHINE: $XDG_DATA_HOME/quillbank/machine,
// else ~/.local/share/quillbank/machine.
[[nodiscard]] std::string DefaultMachineFolder();

}  // namespace quillbank
