// The registry of the running Windows system (advapi32, narrow functions).
// Every operation is the one Win32 call it is named after; results are the
// codes those calls return. Reads go through a buffer of the caller's
// capacity and reach the caller only on success, so a failed read (234 when
// the data does not fit) never hands out partial data.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "env/platform/win32/win32_handles.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

using win32::UniqueHkey;

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
  }
  return HKEY_CURRENT_USER;
}

REGSAM AccessMask(RegAccess access) { return access == RegAccess::All ? KEY_ALL_ACCESS : KEY_READ; }

// The Win32 calls take NUL-terminated names; a string_view may not be.
std::string Terminated(std::string_view text) { return std::string(text); }

// Sizes are DWORDs; larger capacities cannot be asked for anyway.
DWORD Capacity(std::size_t capacity) {
  return static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD));
}

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(UniqueHkey key) : key_(std::move(key)) {}

  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    const std::string value_name = Terminated(name);
    // A zero size with a buffer still asks whether the data fits (a null
    // buffer would only ask for the size and succeed).
    std::vector<std::uint8_t> buffer(std::max<std::size_t>(capacity, 1));
    DWORD type = 0;
    DWORD size = Capacity(capacity);
    const LONG result =
        RegQueryValueExA(key_.get(), value_name.c_str(), nullptr, &type, buffer.data(), &size);
    if (result != ERROR_SUCCESS) return result;
    buffer.resize(std::min<std::size_t>(size, capacity));
    out.type = type;
    out.data = std::move(buffer);
    return result;
  }

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    const std::string value_name = Terminated(name);
    return RegSetValueExA(key_.get(), value_name.c_str(), 0, type,
                          data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
  }

  long DeleteValue(std::string_view name) override {
    const std::string value_name = Terminated(name);
    return RegDeleteValueA(key_.get(), value_name.c_str());
  }

  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    std::vector<char> buffer(std::max<std::size_t>(capacity, 1));
    DWORD length = Capacity(capacity);  // in characters, terminator included
    const LONG result = RegEnumKeyExA(key_.get(), index, buffer.data(), &length, nullptr, nullptr,
                                      nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    name.assign(buffer.data(), std::min<std::size_t>(length, capacity));
    return result;
  }

  long QuerySubkeyCount(std::uint32_t& count) override {
    DWORD subkeys = 0;
    const LONG result = RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) count = subkeys;
    return result;
  }

 private:
  UniqueHkey key_;
};

class Win32Registry final : public Registry {
 public:
  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override {
    const std::string key_path = Terminated(path);
    UniqueHkey opened;
    const LONG result =
        RegOpenKeyExA(RootKey(root), key_path.c_str(), 0, AccessMask(access), opened.out());
    if (result != ERROR_SUCCESS) return result;
    key = std::make_unique<Win32Key>(std::move(opened));
    return result;
  }

  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    const std::string key_path = Terminated(path);
    UniqueHkey created;
    const LONG result =
        RegCreateKeyExA(RootKey(root), key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, created.out(), nullptr);
    if (result != ERROR_SUCCESS) return result;
    key = std::make_unique<Win32Key>(std::move(created));
    return result;
  }

  long DeleteKey(RegRoot root, std::string_view path) override {
    // RegDeleteKeyA takes the key's own path: no trailing backslash.
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    const std::string key_path = Terminated(path);
    return RegDeleteKeyA(RootKey(root), key_path.c_str());
  }
};

}  // namespace

std::unique_ptr<Registry> MakeWin32Registry() { return std::make_unique<Win32Registry>(); }

}  // namespace quillbank
