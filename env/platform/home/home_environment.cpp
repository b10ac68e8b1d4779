#include "env/platform/home/home_environment.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

extern char** environ;  // the process environment, as POSIX names it

namespace quillbank {
namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> HomeEnvironment::Get(std::string_view name) {
  if (name.empty() || name.find('=') != std::string_view::npos) return std::nullopt;
  if (const char* value = std::getenv(std::string(name).c_str())) return std::string(value);
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (!equals) continue;
    const std::string_view entry_name(*entry, static_cast<std::size_t>(equals - *entry));
    if (SameLetters(entry_name, name)) return std::string(equals + 1);
  }
  return std::nullopt;
}

}  // namespace quillbank
