// The fields of one run, each with one writer: what the user asked for,
// written by the command line or, in the dialog mode, by the dialog's
// controls; and the results, written by the session alone. The session keeps
// what it finds on the way (the default client, the account the automatic
// mode copies) to itself.
#pragma once

#include <optional>
#include <string>

#include "core/config_status.h"
#include "core/client_list.h"

namespace quillbank {

struct RunState {
  bool command_line = false;    // no window exists; skip every control operation
  bool automatic = false;       // copy the default client's default account
  bool close_running = false;   // terminate running clients instead of refusing
  std::optional<std::string> search_text;  // automatic mode: the "-s" value, if any
  std::string account_prefix;   // automatic mode: "-p" value
  std::string address;
  bool make_default = false;
  std::string display_name;
  int client_index = kNoClient;
  bool launch_after = false;
  bool overwrite_existing = false;
  bool use_ssl = true;

  // Results: the session's.
  bool refused = false;         // a running mail client or another run ended the run
  bool run_succeeded = false;   // the configurator returned 0
  ConfigStatus status = status::kNotRun;  // the final status of the run
  std::string outcome_message;  // what the dialog shows (success or failure)
  // The exit code of the command-line and automatic modes (see ExitCode).
  int exit_code = 0;
};

}  // namespace quillbank
