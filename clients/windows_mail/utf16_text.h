// UTF-16 text files, as Windows Mail keeps its account files: every code unit
// is two bytes on disk, least-significant byte first, with no conversion of
// any kind in between. The program reads and writes these code units itself
// instead of going through wide-character streams, because wchar_t is two
// bytes on Windows but four elsewhere; both builds thus produce the same bytes.
//
// Nothing here adds or skips a byte-order mark, and line ends are ordinary
// code units: the callers write CR LF themselves, and ReadWideLine drops them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank::winmail {

using WideText = std::u16string;
using WideView = std::u16string_view;

inline constexpr char16_t kByteOrderMark = u'\xFEFF';

// The content of a UTF-16 file being written, kept as the bytes the file will
// hold; the caller stores them in one piece (see env/text_file.h).
class WideFileWriter final {
 public:
  void Write(WideView text);
  [[nodiscard]] const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A UTF-16 file being read from its first byte. One that could not be opened
// is in a failed state and yields no line.
class WideFileReader final {
 public:
  WideFileReader() = default;  // failed state
  explicit WideFileReader(std::string bytes) : bytes_(std::move(bytes)), open_(true) {}
  // Reads the whole file through `files`; a missing or unreadable file gives a
  // reader in the failed state.
  [[nodiscard]] static WideFileReader Open(Files& files, const std::string& path);

  [[nodiscard]] bool is_open() const { return open_; }
  // The next line; see ReadWideLine.
  [[nodiscard]] std::optional<WideText> ReadLine();

 private:
  [[nodiscard]] char16_t UnitAt(std::size_t index) const;

  std::string bytes_;
  std::size_t next_unit_ = 0;
  bool open_ = false;
};

// Appends `text` to the file unchanged.
void WriteWideText(WideFileWriter& out, WideView text);

// The next line without its LF and without a CR right before that LF. A last
// line without a line end is returned as it is; nothing is returned once no
// code unit is left (so a file ending in a line end has no empty last line).
// A single byte left over at the end of the file is not a code unit and is
// ignored.
[[nodiscard]] std::optional<WideText> ReadWideLine(WideFileReader& in);

// Removes U+0020 at both ends, in place. Tabs, U+FEFF and everything else stay.
void TrimSpaces(WideText& line);

// The code units of a whole file's bytes; a single byte left over at the end
// is not a code unit and is ignored.
[[nodiscard]] WideText CodeUnitsOf(std::string_view bytes);

}  // namespace quillbank::winmail
