// A Windows machine stood in for by a folder laid out like a Wine prefix:
// user.reg (HKEY_CURRENT_USER) and system.reg (HKEY_LOCAL_MACHINE) in Wine's
// registry file format, and drive_c/ as drive C:.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "env/platform/system.h"

namespace quillbank {

// Puts `bytes` in the place of the host file `path` as one whole; false when
// that failed and the old file is left as it was.
using HostFileWriter = std::function<bool(const std::string& path, const std::string& bytes)>;

// Opens the machine folder, creating a minimal machine in a missing or empty
// folder. Null, with the reason in `error`, when the folder cannot be used:
// a running wineserver serves it, a hive cannot be read or nests its keys
// deeper than Windows allows, or the lock file that keeps runs apart
// (quillbank.lock in the folder) cannot be created. The registry's commit
// writes each changed hive through `write_hive` (tests count or fail writes
// there); without one, the folder's own file replacement is used. Opened
// for a preview, it creates nothing: a folder without a machine is refused.
[[nodiscard]] std::unique_ptr<SystemServices> OpenMachineFolder(const std::string& folder,
                                                                std::string& error,
                                                                HostFileWriter write_hive = {},
                                                                OpenFor purpose = OpenFor::Change);

// The folder used without QUILLBANK_MACHINE: $XDG_DATA_HOME/quillbank/machine,
// else ~/.local/share/quillbank/machine.
[[nodiscard]] std::string DefaultMachineFolder();

}  // namespace quillbank
