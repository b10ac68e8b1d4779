#include "clients/eudora/eudora_personalities.h"

#include "core/ascii_text.h"

namespace quillbank::eudora {
namespace {

constexpr std::string_view kPersonaKeyPrefix = "Persona";

bool IsComment(std::string_view line) { return !line.empty() && line.front() == ';'; }

// Whether the line is the header of the section `name`.
bool NamesSection(std::string_view line, std::string_view name) {
  if (!IsSectionHeader(line)) return false;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos || !TrimBlanks(line.substr(close + 1)).empty()) return false;
  return EqualsIgnoringCase(line.substr(1, close - 1), name);
}

struct Setting {
  std::string_view key;
  std::string_view value;
};

// A "key=value" line, both parts without the blanks around them; none for a
// comment or a line without "=".
std::optional<Setting> SettingOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (IsComment(line) || equals == std::string_view::npos) return std::nullopt;
  return Setting{TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1))};
}

}  // namespace

std::optional<std::size_t> FindSection(const SettingsLines& lines, std::string_view name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (NamesSection(lines[i], name)) return i;
  }
  return std::nullopt;
}

std::optional<std::string_view> SectionValue(const SettingsLines& lines, std::string_view section,
                                             std::string_view key) {
  const std::optional<std::size_t> header = FindSection(lines, section);
  if (!header) return std::nullopt;
  const std::size_t end = SectionEnd(lines, *header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    const std::optional<Setting> setting = SettingOf(lines[i]);
    if (setting && EqualsIgnoringCase(setting->key, key)) return setting->value;
  }
  return std::nullopt;
}

std::vector<std::string_view> AccountSections(const SettingsLines& lines) {
  std::vector<std::string_view> sections;
  if (FindSection(lines, kSettingsSection)) sections.push_back(kSettingsSection);
  const std::optional<std::size_t> list = FindSection(lines, kPersonalitiesSection);
  if (!list) return sections;
  const std::size_t end = SectionEnd(lines, *list);
  for (std::size_t i = *list + 1; i < end; ++i) {
    const std::optional<Setting> entry = SettingOf(lines[i]);
    // A listed persona without a section of its own holds no account.
    if (entry && StartsWithIgnoringCase(entry->key, kPersonaKeyPrefix) && !entry->value.empty() &&
        FindSection(lines, entry->value)) {
      sections.push_back(entry->value);
    }
  }
  return sections;
}

}  // namespace quillbank::eudora
