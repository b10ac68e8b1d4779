// What main() takes from the system besides its services, on the machine
// folder's host (the services themselves: machine_system.cpp).
#include <string>

#include "env/platform/system.h"

namespace quillbank {

std::optional<std::string> SystemCommandText() { return std::nullopt; }

void AttachToParentConsole() {}

}  // namespace quillbank
