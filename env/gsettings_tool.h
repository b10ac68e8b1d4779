// The desktop's settings store as the gsettings tool reads and writes it.
// The tool is run, not linked: the program needs two keys of it, and GIO
// would bring its whole library and its own main loop for those.
#pragma once

#include <optional>
#include <string>

#include "env/platform/platform.h"

namespace quillbank {

class GSettingsTool final : public DesktopSettings {
 public:
  GSettingsTool(UserSpace& user, Environment& environment)
      : user_(user), environment_(environment) {}

  // A session bus is named (DBUS_SESSION_BUS_ADDRESS) or sits where GDBus
  // looks for one without it ($XDG_RUNTIME_DIR/bus).
  bool CanSave() override;
  std::optional<std::string> Get(const SettingKey& key) override;
  bool Set(const SettingKey& key, const std::string& value) override;

 private:
  UserSpace& user_;
  Environment& environment_;
};

}  // namespace quillbank
