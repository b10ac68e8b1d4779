#include "core/input_safety.h"

namespace quillbank {

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool IsUnsafeAddress(std::string_view address) {
  return HasControlCharacter(address) ||
         address.find_first_of(" \"\\<>[]") != std::string_view::npos;
}

bool IsUnsafeDisplayName(std::string_view name) { return HasControlCharacter(name); }

}  // namespace quillbank
