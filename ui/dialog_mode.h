// The dialog mode of the program, where this build has a dialog host.
#pragma once

#include "core/client_list.h"
#include "session/configurator_factory.h"
#include "env/platform/platform.h"

namespace quillbank {

// True when this build can show the dialog (the Windows build).
[[nodiscard]] bool HasDialogHost();

// Shows the main dialog modally and returns the exit code of its run.
int RunDialogMode(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory);

}  // namespace quillbank
