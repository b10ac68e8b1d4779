// What the program finds out about the machine before a run: which clients
// are installed, Outlook's major version, which clients are running, and
// which client is the system's default mail program. Only reads, except that
// running clients may be terminated when the caller asks for it.
#pragma once

#include <string>

#include "core/mail_client.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// The key under HKLM "SOFTWARE\Clients\Mail\" whose presence means installed.
[[nodiscard]] std::string ClientMailKey(MailClient client);

// True when the client's key can be opened for reading. In the Linux home,
// where the registry is empty, Thunderbird is installed when one of its
// folders exists or PATH holds it, and no other client ever is.
[[nodiscard]] bool IsClientInstalled(Platform& platform, MailClient client);

// Outlook's major version from "MSIApplicationLCID" (the number between
// "Office\" and ".0\"). A value that is missing, unreadable or holds neither
// marker gives kUnknownOutlookVersion, so such an Outlook is treated as
// Outlook 2000.
inline constexpr int kUnknownOutlookVersion = 9;
[[nodiscard]] int ReadOutlookVersion(Registry& registry);

// What the running-client check found.
enum class RunningClients {
  None,     // no client runs
  Closed,   // the ones found were asked to end (on request)
  Running,  // a client runs: the run must not go on
};

// Walks the process list for the five client executables (whole file name,
// case-sensitive). With `close_running`, terminates each one found, waits up
// to `wait_ms` for it to end so it cannot write its settings over ours, and
// logs it as closed.
//
// In the Linux home, Thunderbird runs while any of the user's processes is
// "thunderbird" or "thunderbird-bin", or while a live process holds one of
// the profiles in its folders. Closing ends those processes the same way,
// and succeeds only when no profile is held afterwards.
inline constexpr std::uint32_t kClientExitWaitMs = 10000;
RunningClients CloseRunningClients(Platform& platform, bool close_running, RunLog& log,
                                   std::uint32_t wait_ms = kClientExitWaitMs);

// The default client code 1..5 from the mail command of "mailto" (compared
// without regard to case), kUnrecognisedDefaultClient when no client's
// marker is found. In the Linux home, Thunderbird's.
[[nodiscard]] int DefaultClient(Platform& platform);

}  // namespace quillbank
