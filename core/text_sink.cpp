#include "core/text_sink.h"

#include <cstdio>

namespace quillbank {
namespace {

void WriteFile(void* context, const char* data, std::size_t size) {
  std::fwrite(data, 1, size, static_cast<std::FILE*>(context));
}

void FlushFile(void* context) { std::fflush(static_cast<std::FILE*>(context)); }

}  // namespace

TextSink StandardOutput() { return TextSink(stdout, WriteFile, FlushFile); }
TextSink StandardError() { return TextSink(stderr, WriteFile, FlushFile); }

}  // namespace quillbank
