// The home has no registry: every key is missing and none can be made, so
// nothing is ever written to one. Windows' codes keep the callers' paths the
// same as elsewhere: a missing key, a refused creation.
#pragma once

#include <memory>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

class EmptyRegistry final : public Registry {
 public:
  long Open(RegRoot, std::string_view, RegAccess, std::unique_ptr<RegistryKey>&) override {
    return win32_error::kFileNotFound;
  }
  long Create(RegRoot, std::string_view, std::unique_ptr<RegistryKey>&) override {
    return win32_error::kAccessDenied;
  }
  long DeleteKey(RegRoot, std::string_view) override { return win32_error::kFileNotFound; }
};

}  // namespace quillbank
