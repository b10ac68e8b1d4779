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

bool ReplaceFileContents(Files& files, const std::string& path, const std::string& temp_path,
                         std::string_view content) {
  if (!files.WriteFile(temp_path, content)) {
    files.DeleteFile(temp_path);
    return false;
  }
  if (!files.ReplaceFile(temp_path, path)) {
    files.DeleteFile(temp_path);
    return false;
  }
  return true;
}

}  // namespace quillbank
