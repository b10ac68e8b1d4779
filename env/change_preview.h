// What a preview prints for the stores a run would change: a unified diff
// for each file and, for each registry key, the key before and after in the
// form regedit exports (.reg, version 5). The same printers serve the
// preview (the system beneath against the run's staged changes) and any
// comparison of two states of a machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"
#include "env/preview_services.h"
#include "env/staged_registry.h"

namespace quillbank {

// A unified diff of a file's two states ("--- path", "+++ path", "@@" hunks
// with three lines of context); a missing side is /dev/null. Text that
// starts with a UTF-16LE byte order mark is shown decoded. Empty when the
// two states are the same.
[[nodiscard]] std::string UnifiedDiff(const std::string& path,
                                      const std::optional<std::string>& before,
                                      const std::optional<std::string>& after);

// One key's changed values, before and after, as regedit writes them:
//   ; before
//   [HKEY_CURRENT_USER\...]          ("; not there" below a missing key)
//   "Name"="text"   dword:0000002a   hex:..   hex(2):..   "Gone"=-
//   ; after
//   ...
// A key removed shows as [-HKEY_...]. Text is shown as UTF-8.
[[nodiscard]] std::string RegistryBlock(const TouchedKey& key, Registry& before, Registry& after,
                                        const CodePage& code_page);

// The desktop settings a run changed, a block per schema in the same
// before/after form, each key as gsettings prints it:
//   GSettings
//   ; before
//   [org.gnome.Evolution.DefaultSources]
//   default-mail-account='system'       ("default-mail-account (unreadable)")
//   ; after
//   ...
[[nodiscard]] std::string SettingsBlocks(const std::vector<StagedSetting>& settings);

// The whole preview of a run's changes: each file's diff in the order the
// run first changed it, then each key's block, then the settings.
struct PreviewSources {
  Files& before_files;
  Files& after_files;
  Registry& before_registry;
  Registry& after_registry;
  const CodePage& code_page;
};
[[nodiscard]] std::string ChangePreview(const std::vector<std::string>& files,
                                        const std::vector<TouchedKey>& keys,
                                        const std::vector<StagedSetting>& settings,
                                        const PreviewSources& sources);

}  // namespace quillbank
