// The Win32 services as a contract backend (Wine's system under the test
// runner): a fresh key below HKCU\Software\QuillbankContract and a fresh
// folder below the temporary folder for each test, both removed afterwards.
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "env/platform/win32/win32_platform.h"
#include "env/platform/windows_user_space.h"
#include "tests/contract/backend.h"

namespace quillbank::testing {
namespace {

constexpr const char* kKeys = "Software\\QuillbankContract";

// Removes a key and everything below it through the seam.
void DeleteTree(Registry& registry, RegRoot root, const std::string& path) {
  std::unique_ptr<RegistryKey> key;
  if (registry.Open(root, path, RegAccess::All, key) != 0) return;
  std::string name;
  while (key->EnumKey(0, 256, name) == 0) {
    const std::string below = path + "\\" + name;
    DeleteTree(registry, root, below);
    if (registry.DeleteKey(root, below) != 0) break;
  }
  key.reset();
  (void)registry.DeleteKey(root, path);
}

// Removes a folder with everything in it, read-only files too.
void DeleteFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  const std::string pattern = folder + "\\*";
  const HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      const bool link = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
        DeleteFolder(path);
      } else if (!DeleteFileA(path.c_str())) {
        RemoveDirectoryA(path.c_str());
      }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

// CreateSymbolicLinkA exists from Vista on; the program's Windows build
// targets older systems too, so it is looked up rather than linked.
using CreateLinkFunction = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);

class Win32Backend final : public Backend {
 public:
  Win32Backend() {
    const std::string unique = MakeWin32Uuids()->NewUuid();
    key_ = std::string(kKeys) + "\\" + unique;
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp, length) + "quillbank-contract-" + unique;
    if (!CreateDirectoryA(folder_.c_str(), nullptr)) ADD_FAILURE() << "cannot create " << folder_;
  }
  ~Win32Backend() override {
    DeleteTree(*registry_, RegRoot::CurrentUser, key_);
    (void)registry_->DeleteKey(RegRoot::CurrentUser, kKeys);  // once no other test uses it
    DeleteFolder(folder_);
  }

  Registry& registry() override { return *registry_; }
  Files& files() override { return *files_; }
  Environment& environment() override { return *environment_; }
  Processes& processes() override { return *processes_; }
  UserSpace& user() override { return user_; }
  RunLock& run_lock() override { return *run_lock_; }

  std::string key() const override { return key_; }
  std::string folder() const override { return folder_; }

  Registry& NextRunRegistry() override {
    next_run_ = MakeWin32Registry();
    return *next_run_;
  }
  std::shared_ptr<RunLock> OtherRunLock() override { return MakeWin32RunLock(); }

  // The process's own environment is the one the program reads.
  void SetVariable(const std::string& name, const std::optional<std::string>& value) override {
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  }
  void MarkReadOnly(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
  }
  // Only a link the system really made counts: Wine's CreateSymbolicLink
  // reports success without making one.
  bool MakeSymbolicLink(const std::string& link, const std::string& target) override {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto create = kernel ? reinterpret_cast<CreateLinkFunction>(reinterpret_cast<void*>(
                                     GetProcAddress(kernel, "CreateSymbolicLinkA")))
                               : nullptr;
    return create && create(link.c_str(), target.c_str(), 0) && IsSymbolicLink(link);
  }
  bool IsSymbolicLink(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  std::optional<ProcessEntry> OwnProcess() override {
    return ProcessEntry{GetCurrentProcessId(), "contract_tests.exe"};
  }

 private:
  std::unique_ptr<Registry> registry_ = MakeWin32Registry();
  std::unique_ptr<Files> files_ = MakeWin32Files();
  std::unique_ptr<Environment> environment_ = MakeWin32Environment();
  WindowsUserSpace user_;
  std::unique_ptr<Processes> processes_ = MakeWin32Processes();
  std::unique_ptr<RunLock> run_lock_ = MakeWin32RunLock();
  std::unique_ptr<Registry> next_run_;
  std::string key_;
  std::string folder_;
};

}  // namespace

BackendKind SystemBackend() {
  return {"Win32", [] { return std::unique_ptr<Backend>(new Win32Backend()); }};
}

}  // namespace quillbank::testing

#endif  // _WIN32
