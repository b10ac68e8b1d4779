#include "env/platform/posix/host_uuids.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace quillbank {

std::string HostUuids::NewUuid() {
  std::uint8_t bytes[16] = {};
  const int random = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (random >= 0) {
    for (std::size_t got = 0; got < sizeof bytes;) {
      const ssize_t count = ::read(random, bytes + got, sizeof bytes - got);
      if (count <= 0) break;
      got += static_cast<std::size_t>(count);
    }
    ::close(random);
  }
  // The version (4, random) and the variant (RFC 4122) in their fixed bits.
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

}  // namespace quillbank
