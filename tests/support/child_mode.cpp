#include "tests/support/child_mode.h"

#include <cstdio>
#include <map>
#include <string_view>

namespace quillbank::testing {
namespace {

constexpr std::string_view kFlag = "--child=";

// Filled during static initialisation, before main reads it.
std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}

}  // namespace

bool RegisterChild(const std::string& name, ChildMain main) {
  return Children().emplace(name, main).second;
}

std::string ChildArgument(const std::string& name) { return std::string(kFlag) + name; }

std::optional<int> RunChildIfAsked(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.substr(0, kFlag.size()) != kFlag) continue;
    const std::string name(argument.substr(kFlag.size()));
    const auto child = Children().find(name);
    if (child == Children().end()) {
      std::fprintf(stderr, "no child named \"%s\" in this test program\n", name.c_str());
      return 2;
    }
    return child->second();
  }
  return std::nullopt;
}

}  // namespace quillbank::testing
