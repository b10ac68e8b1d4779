#include "env/platform/home/home_environment.h"

#include <cstdlib>
#include <cstring>

#include "core/ascii_text.h"

extern char** environ;  // the process environment, as POSIX names it

namespace quillbank {

std::optional<std::string> HomeEnvironment::Get(std::string_view name) {
  if (name.empty() || name.find('=') != std::string_view::npos) return std::nullopt;
  if (const char* value = std::getenv(std::string(name).c_str())) return std::string(value);
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (!equals) continue;
    const std::string_view entry_name(*entry, static_cast<std::size_t>(equals - *entry));
    if (EqualsIgnoringCase(entry_name, name)) return std::string(equals + 1);
  }
  return std::nullopt;
}

}  // namespace quillbank
