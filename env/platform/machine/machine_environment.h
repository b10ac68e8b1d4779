// The Windows environment of the machine folder, built from its registry as
// Windows builds it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

class MachineEnvironment final : public Environment {
 public:
  explicit MachineEnvironment(Registry& registry) : registry_(registry) {}

  std::optional<std::string> Get(std::string_view name) override;

 private:
  [[nodiscard]] std::optional<std::string> Stored(std::string_view name);
  [[nodiscard]] std::optional<std::string> ProgramFiles(std::string_view name);
  [[nodiscard]] std::string Expand(const std::string& text, int depth);

  Registry& registry_;
};

}  // namespace quillbank
