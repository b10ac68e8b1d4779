// Line-by-line handling of the clients' text files, and the one safe way the
// program rewrites a file: the complete new content goes to a temporary file
// beside the old one, and only a complete temporary file replaces the old
// file in one step. The old file is never deleted first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// The lines of a text, each with its own line end: split after "\r\n", "\n"
// or a "\r" on its own, as the files other programs write end their lines
// in any of these ways. A last line without a line end is returned as it is;
// a text that ends with a line end has no empty last line.
[[nodiscard]] std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text);

// The line without the "\r\n", "\n" or "\r" at its end.
[[nodiscard]] std::string_view WithoutLineEnd(std::string_view line);

// The lines of a text as SplitLinesKeepingEnds cuts them, without their ends.
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// Writes `content` to `temp_path`, then replaces `path` with it. On any failure
// the temporary file is removed, `path` keeps its old content, and false is
// returned.
[[nodiscard]] bool ReplaceFileContents(Files& files, const std::string& path,
                                       const std::string& temp_path, std::string_view content);

}  // namespace quillbank
