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

}  // namespace quillbank
