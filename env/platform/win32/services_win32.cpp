// The smaller services of the running Windows system: environment variables,
// the process list and process control, local time and UUIDs.
#include <windows.h>

#include <rpc.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/ascii_text.h"
#include "env/platform/win32/win32_handles.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

using win32::UniqueHandle;

class Win32Environment final : public Environment {
 public:
  std::optional<std::string> Get(std::string_view name) override {
    const std::string variable(name);
    std::vector<char> buffer(256);
    for (;;) {
      SetLastError(ERROR_SUCCESS);
      const DWORD length =
          GetEnvironmentVariableA(variable.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (length == 0) {
        // 0 is also the length of a variable set to the empty text.
        if (win32::LastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
      }
      // Too small: the length returned then counts the terminator.
      if (length < buffer.size()) return std::string(buffer.data(), length);
      buffer.resize(length);
    }
  }
};

class Win32Processes final : public Processes {
 public:
  std::vector<ProcessEntry> List() override {
    std::vector<ProcessEntry> processes;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return processes;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
      processes.push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    }
    return processes;
  }

  bool Terminate(std::uint32_t id) override {
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id));
    return process.valid() && TerminateProcess(process.get(), 0);
  }

  bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) override {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process.valid()) {
      // No such process (any more): it has ended. Other refusals (access
      // denied) say nothing about whether it still runs.
      return win32::LastError() == ERROR_INVALID_PARAMETER;
    }
    return WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0;
  }

  bool Start(const std::string& command_line) override {
    // CreateProcessA may write to the command line it is given.
    std::vector<char> text(command_line.begin(), command_line.end());
    text.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
      return false;
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    return true;
  }
};

class Win32Clock final : public Clock {
 public:
  LocalTime Now() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }
};

class Win32Uuids final : public UuidSource {
 public:
  std::string NewUuid() override {
    UUID uuid;
    UuidCreate(&uuid);  // RPC_S_UUID_LOCAL_ONLY is as good for a name
    RPC_CSTR text = nullptr;
    if (UuidToStringA(&uuid, &text) == RPC_S_OK && text) {
      std::string result = AsciiLower(reinterpret_cast<const char*>(text));
      RpcStringFreeA(&text);
      return result;
    }
    // Out of memory for the text: format the same 36 characters here.
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(uuid.Data1), uuid.Data2, uuid.Data3, uuid.Data4[0],
                  uuid.Data4[1], uuid.Data4[2], uuid.Data4[3], uuid.Data4[4], uuid.Data4[5],
                  uuid.Data4[6], uuid.Data4[7]);
    return buffer;
  }
};

}  // namespace

std::unique_ptr<Environment> MakeWin32Environment() { return std::make_unique<Win32Environment>(); }
std::unique_ptr<Processes> MakeWin32Processes() { return std::make_unique<Win32Processes>(); }
std::unique_ptr<Clock> MakeWin32Clock() { return std::make_unique<Win32Clock>(); }
std::unique_ptr<UuidSource> MakeWin32Uuids() { return std::make_unique<Win32Uuids>(); }

}  // namespace quillbank
