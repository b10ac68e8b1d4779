#include "env/gsettings_tool.h"

namespace quillbank {

bool GSettingsTool::CanSave() {
  const std::optional<std::string> address = environment_.Get("DBUS_SESSION_BUS_ADDRESS");
  if (address && !address->empty()) return true;
  const std::optional<std::string> runtime = environment_.Get("XDG_RUNTIME_DIR");
  // Any file there counts: the bus is a socket, which no file service lists.
  return runtime && !runtime->empty() && user_.ModifiedTime(*runtime + "/bus").has_value();
}

std::optional<std::string> GSettingsTool::Get(const SettingKey& key) {
  std::optional<std::string> printed = user_.CommandOutput({"gsettings", "get", key.schema, key.key});
  while (printed && !printed->empty() && printed->back() == '\n') printed->pop_back();
  return printed;
}

bool GSettingsTool::Set(const SettingKey& key, const std::string& value) {
  return user_.CommandOutput({"gsettings", "set", key.schema, key.key, value}).has_value();
}

}  // namespace quillbank
