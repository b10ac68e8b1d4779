// Conventions shared by the registry account stores of Outlook Express and
// Outlook: every key under HKEY_CURRENT_USER, key paths built by concatenation
// and ending in a backslash, names and values read into 100-byte buffers, text
// written as REG_SZ with its NUL and numbers as little-endian REG_DWORD, and
// readers that answer "*ERROR*" when they cannot give a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank::outlook {

inline constexpr std::size_t kValueCapacity = 100;  // bytes, terminator included
inline constexpr std::size_t kNameCapacity = 100;   // characters, terminator included

// Every account store lives in the current user's hive.
inline constexpr RegRoot kStoreRoot = RegRoot::CurrentUser;

// The account key path: `base` (ending in a backslash) + name + "\".
[[nodiscard]] std::string KeyPathOf(std::string_view base, std::string_view key_name);

// The last component of a key path, without the trailing backslash.
[[nodiscard]] std::string KeyNameOf(std::string_view key_path);

// True when `key_name` names exactly one key below its base: not empty and
// without a backslash (which would name a nested key, or the base itself).
[[nodiscard]] bool IsSingleKeyName(std::string_view key_name);

// Reads a text value with the stores' 100-byte buffer. nullopt when the value
// is missing or its data (terminator included) does not fit.
[[nodiscard]] std::optional<std::string> ReadStoreText(RegistryKey& key, std::string_view name);

// Why the account key name `prefix` + `address` (and the display name stored
// beside it) cannot be written safely, or the empty text when it can. A key
// name must stay one key (no backslash, not empty), the address must hold
// none of the characters the run refuses (blank, double quote, backslash,
// "<", ">", "[", "]", control characters), and the name must fit the
// 100-character buffer the stores' own search enumerates with, so that a later
// run finds the account again instead of writing over it unasked.
[[nodiscard]] std::string AccountNameProblem(std::string_view prefix, std::string_view address,
                                             std::string_view display_name);

// Remembers the previous state of every value it changes, and every key it
// creates, so that a write that fails part-way can be undone: a failed run
// leaves the store as it was. Windows applies each registry change at once,
// so this is the only way back there; an account key left behind empty would
// make every later run find the account and skip it.
class ValueJournal {
 public:
  explicit ValueJournal(Registry& registry) : registry_(registry) {}

  // Opens the key at `key_path`, creating it and every missing key above it,
  // and remembers which of them it created. Returns the Win32 result.
  long CreateKey(const std::string& key_path, std::unique_ptr<RegistryKey>& key);

  // Sets one value of the open key at `key_path`, first recording what it held
  // (or that it was missing). Returns the Win32 result of the write.
  long Set(RegistryKey& key, const std::string& key_path, std::string_view name,
           std::uint32_t type, const std::vector<std::uint8_t>& data);
  long SetText(RegistryKey& key, const std::string& key_path, std::string_view name,
               std::string_view text);
  long SetDword(RegistryKey& key, const std::string& key_path, std::string_view name,
                std::uint32_t number);

  // Puts every recorded value back as it was, newest first (a value that was
  // missing is deleted again), then deletes the keys it created, deepest
  // first. Keys opened on them must be closed before.
  void Undo();

 private:
  struct Entry {
    std::string key_path;
    std::string name;
    std::optional<RegValue> before;
  };
  Registry& registry_;
  std::vector<Entry> entries_;
  std::vector<std::string> created_keys_;  // shallowest first
};

}  // namespace quillbank::outlook
