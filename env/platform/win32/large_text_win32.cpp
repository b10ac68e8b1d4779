#include "env/platform/large_text.h"

namespace quillbank {

// Large pages on Windows need a privilege users do not have: a plain reserve.
void ReserveLargeText(std::string& text, std::size_t size) { text.reserve(size); }

}  // namespace quillbank
