#include "env/platform/home/home_system.h"

namespace quillbank {

std::unique_ptr<SystemServices> OpenUserHome(std::string& error) {
  error = "the home backend is not built yet";
  return nullptr;
}

}  // namespace quillbank
