// Small helpers over the registry seam for the value encodings the program
// uses: REG_SZ text stored with its NUL, REG_DWORD little-endian, and text
// read back up to its first NUL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// The text of a value's data: the bytes up to the first NUL (all of them when
// there is none).
[[nodiscard]] std::string TextOf(const RegValue& value);
// A DWORD value's number; 0 when the data is shorter than four bytes.
[[nodiscard]] std::uint32_t DwordOf(const RegValue& value);

[[nodiscard]] std::vector<std::uint8_t> SzData(std::string_view text);  // text + NUL
[[nodiscard]] std::vector<std::uint8_t> DwordData(std::uint32_t number);  // 4 bytes, little-endian

// Write helpers; like the Windows calls they wrap, results may be ignored.
// RegQueryValueExA for a value of any length: the read is asked again with a
// larger buffer while the value does not fit (up to 16 MB, past anything a
// registry value holds in practice). 2 when it is missing.
long QueryWholeValue(RegistryKey& key, std::string_view name, RegValue& out);

long SetText(RegistryKey& key, std::string_view name, std::string_view text);
long SetDword(RegistryKey& key, std::string_view name, std::uint32_t number);
long SetBinary(RegistryKey& key, std::string_view name, const std::vector<std::uint8_t>& data);

// Reads a value's text with the given buffer capacity in bytes; nullopt when
// the value is missing or longer than the capacity.
[[nodiscard]] std::optional<std::string> ReadText(RegistryKey& key, std::string_view name,
                                                  std::size_t capacity);
// Opens `path` under `root`, reads one value's text and closes the key again.
[[nodiscard]] std::optional<std::string> ReadText(Registry& registry, RegRoot root,
                                                  std::string_view path, RegAccess access,
                                                  std::string_view name, std::size_t capacity);

// True when `path` under `root` can be opened with `access`.
[[nodiscard]] bool KeyExists(Registry& registry, RegRoot root, std::string_view path,
                             RegAccess access = RegAccess::Read);

}  // namespace quillbank
