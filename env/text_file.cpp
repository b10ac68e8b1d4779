#include "env/text_file.h"

namespace quillbank {

std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));  // last line without a line end
      break;
    }
    end += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
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
