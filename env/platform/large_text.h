// Room for a large text that the run fills in one go: a prefs.js of tens of
// megabytes as read, and its new content. Where the system offers huge pages
// the room is backed by them, so that filling it takes a few dozen page
// faults instead of thousands; elsewhere it is a plain reserve.
#pragma once

#include <cstddef>
#include <string>

namespace quillbank {

// Reserves room for `size` bytes in `text`, which is empty.
void ReserveLargeText(std::string& text, std::size_t size);

}  // namespace quillbank
