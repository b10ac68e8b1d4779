#include "env/text_file.h"

#include <cstring>

namespace quillbank {
namespace {

// The first `c` in [from, to), or `to`.
const char* Find(const char* from, const char* to, char c) {
  const void* found = std::memchr(from, c, static_cast<std::size_t>(to - from));
  return found ? static_cast<const char*>(found) : to;
}

}  // namespace

// Each line is found with two memchr calls, one for "\n" and one for "\r"
// before it, which keeps a prefs.js of half a million lines quick to split.
// The next "\n" is remembered across lines, so a file of lines ended by "\r"
// alone is not searched to its end for every line.
std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  const char* start = text.data();
  const char* const end = start + text.size();
  const char* newline = Find(start, end, '\n');
  while (start < end) {
    if (newline < start) newline = Find(start, end, '\n');
    const char* stop = newline == end ? end : newline + 1;
    const char* const cr = Find(start, newline, '\r');
    if (cr + 1 < newline) stop = cr + 1;  // a "\r" on its own ends the line
    lines.emplace_back(start, static_cast<std::size_t>(stop - start));
    start = stop;
  }
  return lines;
}

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines = SplitLinesKeepingEnds(text);
  for (std::string_view& line : lines) line = WithoutLineEnd(line);
  return lines;
}

bool ReplaceFileContents(Files& files, const std::string& path, std::string_view content,
                         RunLog& log) {
  switch (files.ReplaceContents(path, content)) {
    case FileWrite::Written:
      return true;
    case FileWrite::ReadOnly:
      log << "Could not write " << path << ": the file is read-only. No changes were made."
          << kEndLine;
      return false;
    case FileWrite::Failed:
      break;
  }
  log << "Could not write " << path << ". No changes were made." << kEndLine;
  return false;
}

}  // namespace quillbank
