// Conventions shared by the registry account stores of Outlook Express and
// Outlook: every key under HKEY_CURRENT_USER, key paths built by concatenation
// and ending in a backslash, names and values read into 100-byte buffers.
#pragma once

#include <cstddef>

namespace quillbank::outlook {

inline constexpr std::size_t kValueCapacity = 100;  // bytes, terminator included
inline constexpr std::size_t kNameCapacity = 100;   // characters, terminator included

}  // namespace quillbank::outlook
