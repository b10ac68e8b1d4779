#include "env/run_log.h"

#include <cstdio>

namespace quillbank {

void RunLog::Open(std::unique_ptr<AppendFile> file) { file_ = std::move(file); }

void RunLog::Close() {
  if (file_) file_->Close();
  file_.reset();
}

RunLog& RunLog::operator<<(std::string_view text) {
  if (file_ && !text.empty()) file_->Append(text);
  return *this;
}

RunLog& RunLog::operator<<(EndLine) { return *this << kLineEnd; }

std::string TimeStamp(Clock& clock) {
  const LocalTime t = clock.Now();
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d on %02d/%02d/%02d", t.hour, t.minute, t.second,
                t.month, t.day, t.year % 100);
  return text;
}

}  // namespace quillbank
