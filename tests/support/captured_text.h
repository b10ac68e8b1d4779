// What a program part prints to a TextSink, kept in memory for a test to read.
// Passes for a TextSink wherever one is taken, and reads like the string
// stream it stands in for: str() is everything printed, str("") clears it.
#pragma once

#include <cstddef>
#include <string>

#include "core/text_sink.h"

namespace quillbank::testing {

class CapturedText {
 public:
  CapturedText() = default;
  CapturedText(const CapturedText&) = delete;
  CapturedText& operator=(const CapturedText&) = delete;

  operator TextSink() { return TextSink(this, Append, Flushed); }

  [[nodiscard]] const std::string& str() const { return text_; }
  void str(const std::string& text) { text_ = text; }
  // How many times the writer asked for a flush.
  [[nodiscard]] int flushes() const { return flushes_; }

 private:
  static void Append(void* self, const char* data, std::size_t size) {
    static_cast<CapturedText*>(self)->text_.append(data, size);
  }
  static void Flushed(void* self) { ++static_cast<CapturedText*>(self)->flushes_; }

  std::string text_;
  int flushes_ = 0;
};

}  // namespace quillbank::testing
