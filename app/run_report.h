// The outcome of a run as one line of JSON, for the fleet tools that start
// the program: the exit code and its word, the client, the address, the
// stores changed and the log's path.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "env/change_record.h"

namespace quillbank {

struct RunReport {
  int exit_code = 0;
  std::optional<std::string> client;   // the client's short name
  std::optional<std::string> address;  // UTF-8
  std::optional<std::string> account;  // the account's key, file or server name in its store
  std::vector<StoreChange> changes;
  std::optional<std::string> log;      // the log's path on this computer
  bool dry_run = false;
};

// One word for each exit code: "configured", "exists", "busy", ...
[[nodiscard]] const char* OutcomeWord(int exit_code);

// The report as one line of JSON (no line end). Text that is not UTF-8 is
// shown with replacement characters rather than breaking the line.
[[nodiscard]] std::string JsonLine(const RunReport& report);

}  // namespace quillbank
