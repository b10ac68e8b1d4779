#include "ui/dialog_mode.h"

#include "session/config_session.h"
#include "ui/config_dlg.h"

// The one place that chooses a dialog host for the build.
#ifdef _WIN32
#include "ui/win32/win32_dialogs.h"
#endif

namespace quillbank {

#ifdef _WIN32
bool HasDialogHost() { return true; }

int RunDialogMode(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory) {
  const std::unique_ptr<DialogFramework> framework = MakeWin32DialogFramework();
  return RunConfigDialog(platform, clients, factory, *framework);
}
#else
bool HasDialogHost() { return false; }

int RunDialogMode(Platform&, const ClientList&, ConfiguratorFactory&) {
  return exit_code::kNoDialog;
}
#endif

}  // namespace quillbank
