// Addresses and display names end up in registry key paths and in the
// clients' own files. Text that could nest registry keys or break those files
// is refused before anything is written.
#pragma once

#include <string_view>

namespace quillbank {

// True when the text holds a control character (below 0x20, or 0x7F).
[[nodiscard]] bool HasControlCharacter(std::string_view text);

// True when the address holds a control character, a blank, a double quote,
// a backslash, "<", ">", "[" or "]".
[[nodiscard]] bool IsUnsafeAddress(std::string_view address);

// True when the display name holds a control character.
[[nodiscard]] bool IsUnsafeDisplayName(std::string_view name);

// The address rule of the dialog and the command line: at least two
// characters, an at sign at position 1 or later, a dot at or after that at
// sign, and at least one character after that dot.
[[nodiscard]] bool IsValidAddress(std::string_view address);

}  // namespace quillbank
