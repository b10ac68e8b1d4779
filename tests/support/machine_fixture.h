// Machine folders on the host's disk for tests (POSIX only): a temporary
// folder that is removed with its owner, hive files in Wine's registry format
// seeded from text, and the program's own machine backend to read a folder
// back.
//
//   TemporaryFolder root("oe-e2e");
//   WriteMachineFolder(root / "machine", "[Software\\\\Clients\\\\Mail\\\\Eudora] 1700000000\n...",
//                      kJaneAppData);
#pragma once

#include <filesystem>
#include <string>

#include "env/platform/system.h"

namespace quillbank::testing {

// A new empty folder "quillbank-<kind>-XXXXXX" in $TMPDIR (else /tmp); empty
// when it cannot be made. The caller removes it.
[[nodiscard]] std::filesystem::path MakeTemporaryFolder(const std::string& kind);

// A new empty temporary folder, removed with everything in it on destruction.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& kind) : path_(MakeTemporaryFolder(kind)) {}
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(const std::filesystem::path& name) const {
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

// The first lines of the hive files Wine writes for HKEY_LOCAL_MACHINE
// (system.reg) and HKEY_CURRENT_USER (user.reg), up to the first key.
inline constexpr const char* kSystemHiveHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";
inline constexpr const char* kUserHiveHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n";

// The key that gives the seeded machines' user jane her application data
// folder, as user.reg holds it.
inline constexpr const char* kJaneAppData =
    "[Volatile Environment] 1700000000\n"
    "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n";

// jane's profile folder below a machine folder.
[[nodiscard]] inline std::filesystem::path JaneFolder(const std::filesystem::path& machine) {
  return machine / "drive_c" / "users" / "jane";
}

// Lays out a machine folder: jane's application data folder, and system.reg
// and user.reg holding the header and, after a blank line, the keys given as
// hive text (`[Key\\\\Path] stamp` sections and their values).
void WriteMachineFolder(const std::filesystem::path& machine, const std::string& system_keys,
                        const std::string& user_keys);

// Opens `machine` as the program does when QUILLBANK_MACHINE names it, to read
// back what a run left there.
[[nodiscard]] SystemOpenResult OpenMachine(const std::filesystem::path& machine);

}  // namespace quillbank::testing
