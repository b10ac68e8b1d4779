// The host's local time, for the log's time stamps.
#pragma once

#include "env/platform/platform.h"

namespace quillbank {

class HostClock final : public Clock {
 public:
  LocalTime Now() override;
};

}  // namespace quillbank
