// Thunderbird's profile list, profiles.ini, read as the INI file it is:
// "[Section]" headers, "key=value" entries with keys compared without regard
// to case, CR LF, LF or CR line ends, blank lines and ";" or "#" comments.
// The file is only ever read; nothing here writes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillbank::thunderbird {

struct IniSection {
  std::string name;  // between the brackets, as written
  std::vector<std::pair<std::string, std::string>> entries;  // in file order

  // The value of the first entry named `key` (without regard to case).
  [[nodiscard]] std::optional<std::string> Get(std::string_view key) const;
};

// The sections of an INI text in file order. Entries before the first header
// and lines that are neither header nor entry are passed over.
[[nodiscard]] std::vector<IniSection> ParseIni(std::string_view text);

}  // namespace quillbank::thunderbird
