// The rule every reader's search by address uses: an account matches when its
// address contains the search text, byte for byte (so case counts, and an
// empty text matches every account). The first match in the store's own
// order wins.
#pragma once

#include <string_view>

namespace quillbank {

[[nodiscard]] constexpr bool AddressMatches(std::string_view address, std::string_view text) {
  return address.find(text) != std::string_view::npos;
}

}  // namespace quillbank
