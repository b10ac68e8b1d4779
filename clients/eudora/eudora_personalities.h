// The accounts Eudora.ini holds, as the automatic mode reads them: the
// dominant personality in "[Settings]", then the personas in the order the
// "[Personalities]" list names them ("Persona<n>=<section name>"). Unlike the
// configurator's own scans these read the file as Eudora does: sections by
// their whole name and keys by their whole name, both without regard to the
// case of the letters A to Z, and ";" comment lines are never settings.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "clients/eudora/eudora_settings_file.h"

namespace quillbank::eudora {

// The section name of the dominant personality, and the name the readers
// pass around for it.
inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kPersonalitiesSection = "Personalities";
// A persona's section is named "Persona-" + its name.
inline constexpr std::string_view kPersonaSectionPrefix = "Persona-";
inline constexpr std::string_view kReturnAddressSetting = "ReturnAddress";
inline constexpr std::string_view kRealNameSetting = "RealName";

// The header line of the first section named `name` ("[name]", blanks after
// the "]" allowed); none when there is no such section.
[[nodiscard]] std::optional<std::size_t> FindSection(const SettingsLines& lines,
                                                     std::string_view name);

// The value of `key` in the first section named `section`, without the blanks
// around it; the first such line counts. None when the section or the key is
// missing.
[[nodiscard]] std::optional<std::string_view> SectionValue(const SettingsLines& lines,
                                                           std::string_view section,
                                                           std::string_view key);

// The section names of the accounts, in search order: kSettingsSection when
// the file has that section, then each persona of the first list whose
// section exists.
[[nodiscard]] std::vector<std::string_view> AccountSections(const SettingsLines& lines);

}  // namespace quillbank::eudora
