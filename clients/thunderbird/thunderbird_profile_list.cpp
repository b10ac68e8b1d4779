#include "clients/thunderbird/thunderbird_profile_list.h"

namespace quillbank::thunderbird {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The next line of `text` from `pos`, which moves past its line end (CR LF,
// LF or CR).
std::string_view NextLine(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  const std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    pos = text.size();
    return text.substr(start);
  }
  pos = end + 1;
  if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return text.substr(start, end - start);
}

}  // namespace

std::optional<std::string> IniSection::Get(std::string_view key) const {
  for (const auto& [name, value] : entries) {
    if (EqualNoCase(name, key)) return value;
  }
  return std::nullopt;
}

bool StartsWithNoCase(std::string_view name, std::string_view prefix) {
  return name.size() >= prefix.size() && EqualNoCase(name.substr(0, prefix.size()), prefix);
}

std::vector<IniSection> ParseIni(std::string_view text) {
  std::vector<IniSection> sections;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::string_view line = Trim(NextLine(text, pos));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      sections.push_back(IniSection{std::string(line.substr(1, close - 1)), {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections.empty()) continue;
    sections.back().entries.emplace_back(std::string(Trim(line.substr(0, equals))),
                                         std::string(Trim(line.substr(equals + 1))));
  }
  return sections;
}

}  // namespace quillbank::thunderbird
