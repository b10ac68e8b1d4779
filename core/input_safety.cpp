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

bool IsValidAddress(std::string_view address) {
  if (address.size() < 2) return false;
  const std::size_t at = address.find('@', 1);
  if (at == std::string_view::npos) return false;
  const std::size_t dot = address.find('.', at);
  return dot != std::string_view::npos && dot + 1 < address.size();
}

}  // namespace quillbank
