// The services of the running Windows system: thin wrappers of the narrow (A)
// Win32 calls each service of the platform seam is shaped after. Defined by
// the Windows backend only; OpenSystem() hands them out together, and the
// backend's own tests use them one by one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

// advapi32: RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA, ...; every
// result is the Win32 code the call returned.
[[nodiscard]] std::unique_ptr<Registry> MakeWin32Registry();
// kernel32 files: CreateFileA, MoveFileExA, FindFirstFileA, ...
[[nodiscard]] std::unique_ptr<Files> MakeWin32Files();
// GetEnvironmentVariableA.
[[nodiscard]] std::unique_ptr<Environment> MakeWin32Environment();
// Toolhelp snapshot, OpenProcess, TerminateProcess, CreateProcessA.
[[nodiscard]] std::unique_ptr<Processes> MakeWin32Processes();
// GetLocalTime.
[[nodiscard]] std::unique_ptr<Clock> MakeWin32Clock();
// rpcrt4: UuidCreate and UuidToStringA.
[[nodiscard]] std::unique_ptr<UuidSource> MakeWin32Uuids();
// MultiByteToWideChar and WideCharToMultiByte on the ANSI code page (CP_ACP),
// without best-fit replacements.
[[nodiscard]] const CodePage& AnsiCodePage();
// A named mutex of the session ("Local\Quillbank"): one run at a time.
[[nodiscard]] std::unique_ptr<RunLock> MakeWin32RunLock();

// The command text in a process command line, as the application framework
// hands it over: the program path (quoted or not) and the blanks after it are
// skipped, the rest is returned as it is. Blanks are all characters up to and
// including the space, as the C runtime's start-up code treats them.
[[nodiscard]] std::string CommandTextAfterProgram(std::string_view command_line);

}  // namespace quillbank
