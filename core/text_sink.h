// Text for the person who started the program: the outcome line, the log's
// path, usage and help. A TextSink writes bytes to a sink as they come, with
// no locale, no formatting state and nothing set up before main, so that a
// run that prints two lines costs the program no start-up work for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace quillbank {

class TextSink {
 public:
  // Writes size bytes of data to the sink behind context.
  using WriteFunction = void (*)(void* context, const char* data, std::size_t size);
  // Hands what the sink holds on to its destination (may be null: nothing to do).
  using FlushFunction = void (*)(void* context);

  TextSink(void* context, WriteFunction write, FlushFunction flush = nullptr)
      : context_(context), write_(write), flush_(flush) {}

  TextSink& operator<<(std::string_view text) {
    if (!text.empty()) write_(context_, text.data(), text.size());
    return *this;
  }
  TextSink& operator<<(const char* text) { return *this << std::string_view(text); }
  TextSink& operator<<(const std::string& text) { return *this << std::string_view(text); }
  TextSink& operator<<(char c) { return *this << std::string_view(&c, 1); }
  // Integers in decimal, as std::to_string writes them.
  template <typename Integer,
            std::enable_if_t<std::is_integral_v<Integer> && !std::is_same_v<Integer, char> &&
                                 !std::is_same_v<Integer, bool>,
                             int> = 0>
  TextSink& operator<<(Integer value) {
    return *this << std::to_string(value);
  }

  void Flush() {
    if (flush_) flush_(context_);
  }

 private:
  void* context_;
  WriteFunction write_;
  FlushFunction flush_;
};

// The process's standard output and standard error, through the C library's
// buffers (standard error unbuffered, as the C library keeps it), so that
// what the program prints interleaves with anything else written there.
[[nodiscard]] TextSink StandardOutput();
[[nodiscard]] TextSink StandardError();

}  // namespace quillbank
