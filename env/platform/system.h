// What main() takes from the system it runs on. Each backend defines these
// functions; the build compiles exactly one backend, so no caller chooses.
#pragma once

#include <memory>
#include <string>

#include "env/platform/platform.h"

namespace quillbank {

// The services of the running system, owned for the life of the process.
class SystemServices {
 public:
  virtual ~SystemServices() = default;
  [[nodiscard]] virtual Platform& platform() = 0;
};

struct SystemOpenResult {
  std::unique_ptr<SystemServices> services;  // null when the system cannot be used
  std::string error;                         // why, for the user; empty on success
};

// Windows: the Win32 services. Elsewhere: the machine folder named by
// QUILLBANK_MACHINE, or the default folder, created with a minimal machine on
// first use. A folder that a running wineserver serves is refused (its hives
// on disk are not authoritative then), and nothing in it is changed.
[[nodiscard]] SystemOpenResult OpenSystem();

// The command text as the Windows application framework hands it over: the
// command line after the program path, as UTF-8. On Windows it is taken from
// the process's own Unicode command line. Elsewhere the arguments are taken as
// they come (UTF-8), and since the shell has removed the quotes, the text a
// Windows user would have typed is rebuilt: the values of "-n", "-p" and "-s"
// are wrapped in double quotes unless they already start and end with one,
// and all arguments are joined by single blanks.
[[nodiscard]] std::string CommandText(int argc, char** argv);

// The code page of the program's narrow text on this system, known before
// the system is opened: Windows-1252 on the machine folder, the ANSI code
// page on Windows.
[[nodiscard]] const CodePage& SystemCodePage();

// Lets a windowed program print to the console it was started from (Windows
// attaches to the parent's console when there is one); nothing elsewhere.
void AttachToParentConsole();

}  // namespace quillbank
