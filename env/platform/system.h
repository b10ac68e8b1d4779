// What main() takes from the system it runs on. Each backend defines these
// functions; the build compiles exactly one backend, so no caller chooses.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/system_kind.h"
#include "env/platform/platform.h"

namespace quillbank {

// The services of the running system, owned for the life of the process.
class SystemServices {
 public:
  virtual ~SystemServices() = default;
  [[nodiscard]] virtual Platform& platform() = 0;
  // Where a file of this system lies on the computer the program runs on,
  // when that is not the path itself (the machine folder); none on Windows.
  [[nodiscard]] virtual std::optional<std::string> HostPathOf(const std::string& path) {
    (void)path;
    return std::nullopt;
  }
};

struct SystemOpenResult {
  std::unique_ptr<SystemServices> services;  // null when the system cannot be used
  std::string error;                         // why, for the user; empty on success
};

// Which system a run changes.
enum class SystemChoice {
  // Windows: the Win32 services. Elsewhere: the machine folder named by
  // QUILLBANK_MACHINE, or the default folder, created with a minimal machine
  // on first use. A folder that a running wineserver serves is refused (its
  // hives on disk are not authoritative then), and nothing in it is changed.
  Default,
  // Linux: the user's own home, with no registry. Not available on Windows.
  UserHome,
};

// What the run will do with the system it opens.
enum class OpenFor {
  Change,
  // Only look: a dry run. Nothing is created on opening (no machine folder,
  // state folder or lock file); the run lock is taken only where its file
  // already exists.
  Preview,
};

[[nodiscard]] SystemOpenResult OpenSystem(SystemChoice choice, OpenFor purpose = OpenFor::Change);

// The kind of system `choice` opens on this build, known before it is
// opened: what the clients are told to expect there.
[[nodiscard]] SystemKind KindOfSystem(SystemChoice choice);

// The command text as the Windows application framework hands it over: the
// command line after the program path, as UTF-8, taken from the process's own
// Unicode command line. None elsewhere: there the program has only its
// arguments, from which the command line rebuilds the text.
[[nodiscard]] std::optional<std::string> SystemCommandText();

// The code page of the program's narrow text on this system, known before
// the system is opened: Windows-1252 on the machine folder, UTF-8 in the
// user's home (as on a Windows set to the UTF-8 code page), the ANSI code
// page on Windows.
[[nodiscard]] const CodePage& SystemCodePage(SystemChoice choice);

// Lets a windowed program print to the console it was started from (Windows
// attaches to the parent's console when there is one); nothing elsewhere.
void AttachToParentConsole();

}  // namespace quillbank
