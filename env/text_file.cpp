#include "env/text_file.h"

namespace quillbank {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));  // last line without a line end
      break;
    }
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
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
