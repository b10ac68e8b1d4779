#include "env/app_data.h"

#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr const char* kVolatileEnvironmentKey = "Volatile Environment\\";
constexpr const char* kAppDataValue = "APPDATA";
constexpr std::size_t kAppDataCapacity = 300;  // bytes, terminator included

}  // namespace

std::optional<std::string> AppDataFolder(Platform& platform) {
  std::optional<std::string> folder =
      ReadText(platform.registry, RegRoot::CurrentUser, kVolatileEnvironmentKey, RegAccess::All,
               kAppDataValue, kAppDataCapacity);
  if (!folder || folder->empty()) folder = platform.environment.Get(kAppDataValue);
  if (!folder || folder->empty()) return std::nullopt;
  return folder;
}

}  // namespace quillbank
