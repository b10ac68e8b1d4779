#include "core/text_out.h"

#include <cstdio>

namespace quillbank {
namespace {

void WriteFile(void* context, const char* data, std::size_t size) {
  std::fwrite(data, 1, size, static_cast<std::FILE*>(context));
}

void FlushFile(void* context) { std::fflush(static_cast<std::FILE*>(context)); }

}  // namespace

TextOut StandardOutput() { return TextOut(stdout, WriteFile, FlushFile); }
TextOut StandardError() { return TextOut(stderr, WriteFile, FlushFile); }

}  // namespace quillbank
