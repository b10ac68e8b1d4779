// What main() takes from Windows: the Win32 services, the command text after
// the program path, and the console of the program that started this one.
#include <windows.h>

#include <cstdio>

#include "env/platform/mapi.h"
#include "env/platform/system.h"
#include "env/platform/windows_user_space.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

class Win32System final : public SystemServices {
 public:
  Platform& platform() override { return platform_; }

 private:
  std::unique_ptr<Registry> registry_ = MakeWin32Registry();
  std::unique_ptr<Files> files_ = MakeWin32Files();
  std::unique_ptr<Environment> environment_ = MakeWin32Environment();
  std::unique_ptr<Processes> processes_ = MakeWin32Processes();
  std::unique_ptr<Clock> clock_ = MakeWin32Clock();
  std::unique_ptr<UuidSource> uuids_ = MakeWin32Uuids();
  std::unique_ptr<MapiAdmin> mapi_ = MakeWin32Mapi();  // loads MAPI32 only when used
  std::unique_ptr<RunLock> run_lock_ = MakeWin32RunLock();
  WindowsUserSpace user_;
  Platform platform_{*registry_, *files_, *environment_, *processes_, *clock_, *uuids_,
                     AnsiCodePage(), user_, mapi_.get(), run_lock_.get()};
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; }

// True when the standard handle leads nowhere yet (a windowed program started
// without redirection); a stream redirected to a file or pipe is kept.
bool Unconnected(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

SystemOpenResult OpenSystem(SystemChoice choice, OpenFor purpose) {
  (void)purpose;  // opening creates nothing on Windows
  if (choice == SystemChoice::UserHome) {
    return SystemOpenResult{nullptr, "--home is for Linux; on Windows Quillbank configures the logged-on user."};
  }
  return SystemOpenResult{std::make_unique<Win32System>(), ""};
}

std::string CommandTextAfterProgram(std::string_view line) {
  std::size_t at = 0;
  if (at < line.size() && line[at] == '"') {
    ++at;
    while (at < line.size() && line[at] != '"') ++at;
    if (at < line.size()) ++at;  // the closing quote
  } else {
    while (at < line.size() && static_cast<unsigned char>(line[at]) > ' ') ++at;
  }
  while (at < line.size() && IsBlank(line[at])) ++at;
  return std::string(line.substr(at));
}

std::optional<std::string> SystemCommandText() {
  // Read as Unicode: the narrow command line would already have lost what
  // the ANSI code page cannot hold, with "?" in its place.
  const wchar_t* line = GetCommandLineW();
  const std::wstring_view wide = line ? line : L"";
  return CommandTextAfterProgram(Utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
}

void AttachToParentConsole() {
  const bool reopen_out = Unconnected(STD_OUTPUT_HANDLE);
  const bool reopen_err = Unconnected(STD_ERROR_HANDLE);
  if (!reopen_out && !reopen_err) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (reopen_out) std::freopen("CONOUT$", "w", stdout);
  if (reopen_err) std::freopen("CONOUT$", "w", stderr);
}

SystemKind KindOfSystem(SystemChoice) { return SystemKind::Windows; }

}  // namespace quillbank
