#include "env/run_log.h"

#include "core/ascii_text.h"

namespace quillbank {

void RunLog::Open(std::unique_ptr<AppendFile> file) { file_ = std::move(file); }

RunLog::~RunLog() {
  if (file_ && !line_.empty()) file_->Append(line_);
}

void RunLog::Close() {
  if (file_ && !line_.empty()) file_->Append(line_);
  line_.clear();
  if (file_) file_->Close();
  file_.reset();
}

RunLog& RunLog::operator<<(std::string_view text) {
  if (file_) line_.append(text);
  return *this;
}

RunLog& RunLog::operator<<(EndLine) {
  if (!file_) return *this;
  line_.append(kLineEnd);
  file_->Append(line_);
  line_.clear();
  return *this;
}

std::string TimeStamp(Clock& clock) {
  const LocalTime t = clock.Now();
  std::string text;
  text.reserve(18);
  AppendDecimal(text, t.hour, 2);
  text += ':';
  AppendDecimal(text, t.minute, 2);
  text += ':';
  AppendDecimal(text, t.second, 2);
  text += " on ";
  AppendDecimal(text, t.month, 2);
  text += '/';
  AppendDecimal(text, t.day, 2);
  text += '/';
  AppendDecimal(text, t.year % 100, 2);
  return text;
}

std::string LogValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(value.size());
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      shown += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0x0F];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace quillbank
