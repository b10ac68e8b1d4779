// The host's local time, for the log's time stamps.
#pragma once

#include "env/platform/platform.h"

namespace quillbank {

class MachineClock final : public Clock {
 public:
  LocalTime Now() override;
};

}  // namespace quillbank
