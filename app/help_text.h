// What "--help" shows, and the short usage a mistyped command gets: the
// usage lines, the option table and the exit-code table, each line at most
// 80 columns. The tables are data, so the manual page is made from them too.
#pragma once

#include <string>
#include <vector>

#include "core/client_list.h"

namespace quillbank {

struct HelpRow {
  std::string key;      // "-c N", "21"
  std::string meaning;  // one sentence, wrapped to the column
};

// The options, with the client numbers of `clients`.
[[nodiscard]] std::vector<HelpRow> OptionRows(const ClientList& clients);
// The exit codes.
[[nodiscard]] std::vector<HelpRow> ExitCodeRows(const ClientList& clients);

// The usage lines alone.
[[nodiscard]] std::string UsageText(const ClientList& clients);
// The usage, the options and the exit codes.
[[nodiscard]] std::string HelpText(const ClientList& clients);

}  // namespace quillbank
