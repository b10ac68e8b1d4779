// Random (version 4) UUIDs from the host's random source.
#pragma once

#include <string>

#include "env/platform/platform.h"

namespace quillbank {

class HostUuids final : public UuidSource {
 public:
  std::string NewUuid() override;
};

}  // namespace quillbank
