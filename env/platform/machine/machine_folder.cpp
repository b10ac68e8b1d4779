// What main() takes from the system besides its services, on the machine
// folder's host (the services themselves: machine_system.cpp).
#include <string>

#include "env/platform/system.h"

namespace quillbank {

std::string CommandText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const std::string previous = i > 1 ? argv[i - 1] : "";
    const bool quoted_value = previous == "-n" || previous == "-p" || previous == "-s";
    if (quoted_value && !(argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')) {
      argument = "\"" + argument + "\"";
    }
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return text;
}

void AttachToParentConsole() {}

}  // namespace quillbank
