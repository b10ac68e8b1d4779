// What the program finds out about the machine before a run: which clients
// are installed, which are running, and which client is the system's default
// mail program. Only reads, except that running clients may be terminated
// when the caller asks for it. Each client's own facts come from its site on
// this system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/client_list.h"
#include "env/desktop_mail_handler.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// The key under HKLM whose presence means the client is installed; empty
// for a site that has none.
[[nodiscard]] std::string ClientMailKey(const ClientSite& site);

// The desktop's data folders (in their order) whose "applications" folder
// holds the desktop entry `entry`.
[[nodiscard]] std::vector<std::string> DesktopEntryFolders(Platform& platform,
                                                           const std::string& entry);

// True when the client exists on this system and one of its site's signs is
// there: its Clients\Mail key can be opened for reading, PATH holds its
// program, a data folder holds its desktop entry, or (where the site says
// so) one of its folders exists.
[[nodiscard]] bool IsClientInstalled(Platform& platform, const ClientSite& site);

// What the running-client check found.
enum class RunningClients {
  None,     // no client runs
  Closed,   // the ones found were asked to end (on request)
  Running,  // a client runs: the run must not go on
};

// Walks the process list once for the processes of every client that exists
// on this system (whole file name, case-sensitive). Without
// `close_running` any one found refuses the run. With it, each one found is
// asked to end at once, then waited for, so it cannot write its settings over
// ours: the waits share one budget of `wait_ms`, and once a wait has used it
// up the others only look. Each is logged as closed or as not quitting.
// Afterwards a client whose site tells it still runs (a settings folder held
// by a process this user cannot see or end) keeps the run refused.
inline constexpr std::uint32_t kClientExitWaitMs = 10000;
RunningClients CloseRunningClients(Platform& platform, const ClientList& clients,
                                   bool close_running, RunLog& log,
                                   std::uint32_t wait_ms = kClientExitWaitMs);

// The default client as detection found it.
struct DefaultClientFound {
  int code = kUnrecognisedDefaultClient;
  // In the Linux home, which asks the desktop: true, with the handler the
  // desktop names, or none when it names none.
  bool asked_desktop = false;
  std::optional<DesktopMailHandler> handler;
};

// The default client. On Windows and the machine folder its code comes from
// the mail command of "mailto" (compared without regard to case): the first
// client in the list whose marker it holds. In the home it is the client the
// desktop's mail handler stands for (see ClientOfDesktopFile). Where the
// system names no mail handler at all, it is the client whose site is the
// default then; else kUnrecognisedDefaultClient.
[[nodiscard]] DefaultClientFound DefaultClient(Platform& platform, const ClientList& clients);

}  // namespace quillbank
