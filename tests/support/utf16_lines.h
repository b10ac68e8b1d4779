// Windows Mail's account files are UTF-16 text; tests write the lines they
// expect as plain strings and compare bytes.
#pragma once

#include <string>
#include <vector>

namespace quillbank::testing {

// UTF-16 little-endian bytes of lines of code units below 0x100, each ended
// by CR LF; "[BOM]" at the start of a line stands for U+FEFF.
inline std::string Utf16LeLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (std::string line : lines) {
    if (line.rfind("[BOM]", 0) == 0) {
      bytes += "\xFF\xFE";
      line.erase(0, 5);
    }
    for (const char c : line + "\r\n") {
      bytes.push_back(c);
      bytes.push_back('\0');
    }
  }
  return bytes;
}

// The same after a byte-order mark, as Windows Mail writes its files.
inline std::string Utf16LeFile(const std::vector<std::string>& lines) {
  return "\xFF\xFE" + Utf16LeLines(lines);
}

}  // namespace quillbank::testing
