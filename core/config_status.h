// The result of a configurator's Configure, one named cause each. The number
// of a cause is what the log shows and what the command-line modes return, so
// the numbers never change. A cause's message depends on the client (see the
// status messages of the run); the causes themselves are shared.
#pragma once

namespace quillbank {

namespace status {
enum Cause : int {
  kNotRun = -1,           // no configurator ran (the client index named no client)
  kSuccess = 0,
  kCannotConfigure = 1,   // the client's store could not be found or read
  kStoreUnreadable = 2,   // Outlook: the profile store could not be opened
  kNeverStarted = 3,      // Outlook: no profile yet, Outlook has not been run
  kNoDefaultProfile = 4,  // Outlook: Outlook asks for a profile at start-up
  kAlreadyExists = 5,     // an account with the address exists; overwrite is off
  kAutoAccountExists = 6, // the automatic copy exists already; overwrite is off
  kWriteFailed = 7,       // a store could not be replaced completely; the old one stays
  kUnsupportedVersion = 8, // Outlook 2013 and later: the client keeps its accounts where the
                           // program does not write; nothing written, the settings logged
  kUnsafeInput = 30,      // the address or name holds characters that cannot be stored
};
}  // namespace status

using ConfigStatus = status::Cause;

// The number the log and the exit code show for `status`.
[[nodiscard]] constexpr int StatusNumber(ConfigStatus status) { return static_cast<int>(status); }

}  // namespace quillbank
