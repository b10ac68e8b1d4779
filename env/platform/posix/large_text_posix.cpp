#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "env/platform/large_text.h"

namespace quillbank {
namespace {

// Below this the faults saved do not pay for the system call.
constexpr std::size_t kWorthAdvising = std::size_t{4} << 20;

}  // namespace

// Only the whole pages inside the string's own buffer are advised; the kernel
// backs just the 2 MB stretches that lie wholly inside them with huge pages,
// so nothing outside the buffer grows and a small tail stays in small pages.
void ReserveLargeText(std::string& text, std::size_t size) {
  text.reserve(size);
  if (size < kWorthAdvising) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = (begin + size) & ~(page - 1);
  // Advice is only advice: where huge pages are off, nothing changes.
  if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace quillbank
