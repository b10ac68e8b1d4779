#include "tests/contract/backend.h"

namespace quillbank::testing {

std::vector<BackendKind> Backends() { return {FakeBackend(), SystemBackend()}; }

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
  return info.param.name;
}

}  // namespace quillbank::testing
