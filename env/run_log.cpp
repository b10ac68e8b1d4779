#include "env/run_log.h"

#include <cstdio>

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
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d on %02d/%02d/%02d", t.hour, t.minute, t.second,
                t.month, t.day, t.year % 100);
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
