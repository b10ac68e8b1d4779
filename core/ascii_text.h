// Text helpers for the names, keys and addresses the stores hold, where only
// the letters A to Z have a case: every other byte, those of multibyte
// characters included, stands for itself. No locale is consulted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

[[nodiscard]] constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

[[nodiscard]] inline std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = AsciiUpper(c);
  return upper;
}

[[nodiscard]] constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

[[nodiscard]] constexpr bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

[[nodiscard]] constexpr bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

[[nodiscard]] constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

// The text without the spaces and tabs at either end.
[[nodiscard]] constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// True for the bytes the C locale counts as white space: blank, tab, line
// feed, vertical tab, form feed and carriage return.
[[nodiscard]] constexpr bool IsAsciiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The runs of text between white space, in order; none for blank text.
[[nodiscard]] inline std::vector<std::string_view> AsciiWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start < text.size()) {
    if (IsAsciiSpace(text[start])) {
      ++start;
      continue;
    }
    std::size_t end = start;
    while (end < text.size() && !IsAsciiSpace(text[end])) ++end;
    words.push_back(text.substr(start, end - start));
    start = end;
  }
  return words;
}

// Appends `value` in decimal with at least `width` characters, zeros after
// any minus sign, as printf's "%0*lld" writes it. Numbers are written here
// rather than through printf, whose formatting code is more pages for a
// short run to load than the rest of what it prints.
inline void AppendDecimal(std::string& out, long long value, int width = 1) {
  char digits[20];
  int count = 0;
  // Worked on as a negative number, so that the lowest value has a digit too.
  long long rest = value < 0 ? value : -value;
  do {
    digits[count++] = static_cast<char>('0' - rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) {
    out += '-';
    --width;
  }
  for (int pad = count; pad < width; ++pad) out += '0';
  while (count > 0) out += digits[--count];
}

// Appends `value` in lower-case hexadecimal, as printf's "%llx" writes it.
inline void AppendHex(std::string& out, unsigned long long value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char digits[16];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (count > 0) out += digits[--count];
}

}  // namespace quillbank
