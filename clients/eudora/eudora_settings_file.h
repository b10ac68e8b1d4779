// Eudora keeps its accounts in Eudora.ini: the settings account directly in
// the "[Settings]" section, further accounts as personas, each a section
// "[Persona-<name>]" listed as "Persona<n>=Persona-<name>" in the
// "[Personalities]" section. The file is never parsed as a whole: these scans
// recognise sections and keys by substring, line by line, and tell where an
// account lives and where a new one goes.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace quillbank::eudora {

// The lines of Eudora.ini without their line ends (see SplitLines).
using SettingsLines = std::vector<std::string_view>;

inline constexpr std::string_view kSettingsHeader = "[Settings]";
inline constexpr std::string_view kPersonalitiesHeader = "[Personalities]";

// A line that starts a section: it starts with "[".
[[nodiscard]] bool IsSectionHeader(std::string_view line);

// The index of the first line containing `part`; none when no line does.
[[nodiscard]] std::optional<std::size_t> FindLineContaining(const SettingsLines& lines,
                                                            std::string_view part);

// The index just past the section whose header is at `header`: the next
// section header, or the number of lines.
[[nodiscard]] std::size_t SectionEnd(const SettingsLines& lines, std::size_t header);

// The index of the first section header (a line starting with "[") that
// contains `part`; none when no header does. A comment or a value that
// mentions a section never stands for it.
[[nodiscard]] std::optional<std::size_t> FindHeaderContaining(const SettingsLines& lines,
                                                              std::string_view part);

// The number of the last persona listed: -2 when no section header contains
// "[Personalities]"; otherwise, for the last such section, -1 when it has no
// line containing "Persona", else the number of its last such line
// ("Persona3=Persona-x" gives 3).
[[nodiscard]] int LastPersonaNumber(const SettingsLines& lines);

// Whether the settings account already holds a RealName or ReturnAddress
// value. Lines from the start of the file up to the end of the "[Settings]"
// section count: a settings account whose two keys are both present and
// empty is free, one with any other RealName or ReturnAddress line is in use.
[[nodiscard]] bool SettingsAccountInUse(const SettingsLines& lines);

// Where a ReturnAddress line with the address was found.
struct AddressMatch {
  bool found = false;
  // The header line of the section that holds it; none when the line comes
  // before any section header.
  std::optional<std::size_t> header;
};

// The first line whose ReturnAddress value equals `address` without regard
// to the case of the letters A to Z.
[[nodiscard]] AddressMatch FindReturnAddress(const SettingsLines& lines, std::string_view address);

// The number formed by the leading decimal digits of `text` after an optional
// sign; 0 when there are none. Very long numbers are held at 999999999.
[[nodiscard]] int LeadingInteger(std::string_view text);

}  // namespace quillbank::eudora
