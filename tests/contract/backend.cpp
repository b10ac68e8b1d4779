#include "tests/contract/backend.h"

namespace quillbank::testing {

std::vector<BackendKind> Backends() { return {FakeBackend(), SystemBackend()}; }

std::vector<BackendKind> ServiceBackends() {
  std::vector<BackendKind> backends = Backends();
#ifndef _WIN32
  backends.push_back(HomeBackend());
#endif
  return backends;
}

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
  return info.param.name;
}

}  // namespace quillbank::testing
