// Starting the configured mail client when the dialog closes after a
// successful run: its program path comes from the client's App Paths entry,
// with "%ProgramFiles%" and "%ProgramFiles(x86)%" expanded once each.
#pragma once

#include <string>

#include "core/client_descriptor.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// The App Paths key of `client` under HKEY_LOCAL_MACHINE, with its trailing
// backslash.
[[nodiscard]] std::string AppPathsKey(const ClientDescriptor& client);

// The path a client would be started from, or why none can be.
struct ClientProgram {
  bool found = false;
  std::string path;    // the command line to start, when found
  std::string reason;  // why not, when not found (ends without a full stop)
};

// Reads the default value of the client's App Paths key (300 bytes with its
// terminator at most) and expands the two placeholders. A missing key or
// value, an empty or overlong path, or a placeholder whose variable is not
// set leaves nothing to start: the path would not be the one the user has.
[[nodiscard]] ClientProgram FindClientProgram(Registry& registry, Environment& environment,
                                              const ClientDescriptor& client);

// The command line that starts `path`. A path that names an existing file as
// a whole is quoted, so that a path with blanks starts exactly that file and
// never a program named after its first word ("C:\Program.exe"); anything
// else (a value with arguments, a quoted value) is passed as it is.
[[nodiscard]] std::string LaunchCommandLine(Files& files, const std::string& path);

// Finds the client's program, logs what will be started (or why nothing is)
// and starts it without waiting for it.
void LaunchClient(Platform& platform, const ClientDescriptor& client, RunLog& log);

}  // namespace quillbank
