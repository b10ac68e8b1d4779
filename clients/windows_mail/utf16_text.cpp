#include "clients/windows_mail/utf16_text.h"

namespace quillbank::winmail {

void WideFileWriter::Write(WideView text) {
  bytes_.reserve(bytes_.size() + 2 * text.size());
  for (const char16_t unit : text) {
    bytes_.push_back(static_cast<char>(unit & 0xFF));
    bytes_.push_back(static_cast<char>(unit >> 8));
  }
}

WideFileReader WideFileReader::Open(Files& files, const std::string& path) {
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) return WideFileReader();
  return WideFileReader(std::move(*bytes));
}

char16_t WideFileReader::UnitAt(std::size_t index) const {
  const auto low = static_cast<unsigned char>(bytes_[2 * index]);
  const auto high = static_cast<unsigned char>(bytes_[2 * index + 1]);
  return static_cast<char16_t>(low | high << 8);
}

std::optional<WideText> WideFileReader::ReadLine() {
  if (!open_) return std::nullopt;
  const std::size_t unit_count = bytes_.size() / 2;
  if (next_unit_ >= unit_count) return std::nullopt;
  WideText line;
  while (next_unit_ < unit_count) {
    const char16_t unit = UnitAt(next_unit_++);
    if (unit == u'\n') {
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      return line;
    }
    line.push_back(unit);
  }
  return line;  // last line without a line end
}

void WriteWideText(WideFileWriter& out, WideView text) { out.Write(text); }

std::optional<WideText> ReadWideLine(WideFileReader& in) { return in.ReadLine(); }

void TrimSpaces(WideText& line) {
  const std::size_t first = line.find_first_not_of(u' ');
  if (first == WideText::npos) {
    line.clear();
    return;
  }
  const std::size_t last = line.find_last_not_of(u' ');
  line = line.substr(first, last - first + 1);
}

WideText CodeUnitsOf(std::string_view bytes) {
  WideText units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto low = static_cast<unsigned char>(bytes[i]);
    const auto high = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(low | high << 8));
  }
  return units;
}

}  // namespace quillbank::winmail
