// The program's own process environment.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

class HomeEnvironment final : public Environment {
 public:
  // The variable of exactly this name; failing that, the first one whose
  // name differs only in case, as callers ask by Windows names.
  std::optional<std::string> Get(std::string_view name) override;
};

}  // namespace quillbank
