#include "tests/support/log_text.h"

#include <regex>

namespace quillbank::testing {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string MaskTimeStamps(const std::string& text) {
  static const std::regex stamp(R"(\d\d:\d\d:\d\d on \d\d/\d\d/\d\d)");
  return std::regex_replace(text, stamp, "<time>");
}

std::string MaskGuids(const std::string& text) {
  static const std::regex guid(R"(\{[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}\})");
  return std::regex_replace(text, guid, "{<guid>}");
}

std::vector<std::string> MaskedLines(const std::string& text) {
  return LinesOf(MaskGuids(MaskTimeStamps(text)));
}

}  // namespace quillbank::testing
