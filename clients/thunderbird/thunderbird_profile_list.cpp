#include "clients/thunderbird/thunderbird_profile_list.h"

#include "core/ascii_text.h"

namespace quillbank::thunderbird {
namespace {

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
    if (EqualsIgnoringCase(name, key)) return value;
  }
  return std::nullopt;
}

std::vector<IniSection> ParseIni(std::string_view text) {
  std::vector<IniSection> sections;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::string_view line = TrimBlanks(NextLine(text, pos));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      sections.push_back(IniSection{std::string(line.substr(1, close - 1)), {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections.empty()) continue;
    sections.back().entries.emplace_back(std::string(TrimBlanks(line.substr(0, equals))),
                                         std::string(TrimBlanks(line.substr(equals + 1))));
  }
  return sections;
}

}  // namespace quillbank::thunderbird
