#include "clients/eudora/eudora_settings_file.h"

#include <algorithm>

#include "core/ascii_text.h"

namespace quillbank::eudora {
namespace {

constexpr std::string_view kReturnAddressKey = "ReturnAddress";
// Where the value of "ReturnAddress=..." starts, counted from the key.
constexpr std::size_t kReturnAddressValueOffset = kReturnAddressKey.size() + 1;
// "Persona" + number: the number starts at the eighth character.
constexpr std::size_t kPersonaNumberOffset = 7;
constexpr int kLargestPersonaNumber = 999999999;

bool Contains(std::string_view line, std::string_view part) {
  return line.find(part) != std::string_view::npos;
}

// The number of a "Persona<n>=..." line: the text from its eighth character
// up to its first "=".
int PersonaNumberOf(std::string_view line) {
  std::string_view text = line.substr(kPersonaNumberOffset);
  const std::size_t equals = line.find('=');
  if (equals != std::string_view::npos && equals >= kPersonaNumberOffset) {
    text = text.substr(0, equals - kPersonaNumberOffset);
  }
  return LeadingInteger(text);
}

}  // namespace

bool IsSectionHeader(std::string_view line) { return !line.empty() && line.front() == '['; }

std::optional<std::size_t> FindLineContaining(const SettingsLines& lines, std::string_view part) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (Contains(lines[i], part)) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> FindHeaderContaining(const SettingsLines& lines,
                                                std::string_view part) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsSectionHeader(lines[i]) && Contains(lines[i], part)) return i;
  }
  return std::nullopt;
}

std::size_t SectionEnd(const SettingsLines& lines, std::size_t header) {
  std::size_t end = header + 1;
  while (end < lines.size() && !IsSectionHeader(lines[end])) ++end;
  return end;
}

int LastPersonaNumber(const SettingsLines& lines) {
  int result = -2;
  std::size_t i = 0;
  while (i < lines.size()) {
    if (!IsSectionHeader(lines[i]) || !Contains(lines[i], kPersonalitiesHeader)) {
      ++i;
      continue;
    }
    const std::size_t end = SectionEnd(lines, i);
    result = -1;
    for (std::size_t j = i + 1; j < end; ++j) {
      // A negative number cannot name a persona; the list still exists.
      if (Contains(lines[j], "Persona")) result = std::max(PersonaNumberOf(lines[j]), -1);
    }
    i = end;
  }
  return result;
}

bool SettingsAccountInUse(const SettingsLines& lines) {
  int empty = 0;
  int other = 0;
  bool in_settings = false;
  for (const std::string_view line : lines) {
    if (Contains(line, kSettingsHeader)) {
      in_settings = true;
      continue;
    }
    if (in_settings && IsSectionHeader(line)) break;
    if (line == "RealName=" || line == "ReturnAddress=") {
      ++empty;
    } else if (Contains(line, "RealName") || Contains(line, kReturnAddressKey)) {
      ++other;
    }
  }
  return empty != 2 && other >= 1;
}

AddressMatch FindReturnAddress(const SettingsLines& lines, std::string_view address) {
  std::optional<std::size_t> header;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (IsSectionHeader(line)) header = i;
    const std::size_t key = line.find(kReturnAddressKey);
    if (key == std::string_view::npos) continue;
    const std::size_t value = key + kReturnAddressValueOffset;
    const std::string_view text = value <= line.size() ? line.substr(value) : std::string_view();
    if (EqualsIgnoringCase(text, address)) return {true, header};
  }
  return {};
}

int LeadingInteger(std::string_view text) {
  bool negative = false;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const long long longer = number * 10LL + (text[i] - '0');
    number = static_cast<int>(std::min<long long>(longer, kLargestPersonaNumber));
  }
  return negative ? -number : number;
}

}  // namespace quillbank::eudora
