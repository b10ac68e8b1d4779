// The Win32 dialog host: dialogs are built in memory from their templates
// and run with the system's own modal loop, so the dialog manager handles
// Tab, Enter, Escape and the close box as users know them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/dialog_host.h"

namespace quillbank {

// The DLGTEMPLATE (with its items) for `dialog`, as 16-bit words.
[[nodiscard]] std::vector<std::uint16_t> BuildWin32DialogTemplate(const DialogTemplate& dialog);

// Runs dialogs as modal Win32 dialogs of this process, with the application
// icon (resource 129) when the program has one.
[[nodiscard]] std::unique_ptr<DialogFramework> MakeWin32DialogFramework();

}  // namespace quillbank
