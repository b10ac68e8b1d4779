// Narrow text is text in a code page: Windows-1252 on the machine folder, the
// ANSI code page on Windows. The stores that hold UTF-16 (Windows Mail's
// account files, the newer Outlook store, Wine's hives) and the UTF-8 ones
// (prefs.js, the POSIX command line) must get the characters the user typed,
// so every conversion goes through the code page, never byte by byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // Each narrow character as UTF-16. Every byte stands for one character.
  [[nodiscard]] virtual std::u16string Widen(std::string_view narrow) const = 0;
  // The narrow form of `wide`; nullopt when a character has none (the text is
  // never written with "?" or a look-alike in its place).
  [[nodiscard]] virtual std::optional<std::string> Narrow(std::u16string_view wide) const = 0;
};

// Windows-1252, as Windows converts it: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the
// same number, so every byte round-trips.
[[nodiscard]] const CodePage& Windows1252();

// UTF-8 as the code page of the user's home on Linux (and of a Windows set
// to the UTF-8 code page): text the system hands over as UTF-8 is narrow
// text as it stands. A malformed byte widens to U+FFFD; a lone surrogate has
// no narrow form.
[[nodiscard]] const CodePage& Utf8();

// UTF-8 from and to UTF-16. Reading fails (nullopt) on a malformed sequence,
// an overlong form or an encoded surrogate; writing turns a lone surrogate
// into U+FFFD.
[[nodiscard]] std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view utf16);

// Text as Windows keeps it in a registry value: UTF-16LE bytes with the
// closing NUL.
[[nodiscard]] std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view wide);

// Shortcuts through UTF-16: narrow text of `code_page` as UTF-8, and UTF-8 as
// narrow text (nullopt when it is not UTF-8 or the code page cannot hold it).
[[nodiscard]] std::string NarrowToUtf8(const CodePage& code_page, std::string_view narrow);
[[nodiscard]] std::optional<std::string> Utf8ToNarrow(const CodePage& code_page,
                                                      std::string_view utf8);

}  // namespace quillbank
