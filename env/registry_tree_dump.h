// Writes the subkey tree below a key to the log, for support staff when an
// Outlook profile cannot be found.
#pragma once

#include <string>

#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// Every subkey name below `path` (HKEY_CURRENT_USER), depth first in
// enumeration order, indented by three blanks per level. A key that cannot be
// opened gives "error: " and the code, unindented; a subkey whose name cannot
// be enumerated (100 characters or more) gives an indented "error: " line
// with the enumeration's code, and its subtree is skipped.
void DumpRegistryTree(Registry& registry, const std::string& path, int depth, RunLog& log);

}  // namespace quillbank
