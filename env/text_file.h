// Line-by-line handling of the clients' text files, and how a configurator
// rewrites one: through Files::ReplaceContents, which replaces the old file
// only by a complete new one, and with the reason in the log when it could
// not.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// The lines of a text, as getline reads them: split at "\n", a "\r" before the
// "\n" dropped, no empty last line for a text that ends with a line end.
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// Replaces the content of the file at `path`. On failure `path` keeps its old
// content, the log tells why ("Could not write <path>. No changes were
// made.", with the reason for a read-only file), and false is returned.
[[nodiscard]] bool ReplaceFileContents(Files& files, const std::string& path,
                                       std::string_view content, RunLog& log);

}  // namespace quillbank
