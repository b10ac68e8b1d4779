// One undo run: the log's banner, the same refusals as a configuring run (a
// mail client running, another run holding the machine), then the newest
// undo journal put back, each step logged.
#pragma once

#include <string>

#include "core/client_list.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

class UndoSession {
 public:
  UndoSession(Platform& platform, const ClientList& clients)
      : platform_(platform), clients_(clients) {}

  // Runs the undo; returns the exit code.
  int Run();
  // What to tell the person who started the run.
  [[nodiscard]] const std::string& message() const { return message_; }
  [[nodiscard]] const std::string& log_path() const { return log_path_; }

 private:
  int End(int exit_code, std::string message, bool complete);

  Platform& platform_;
  const ClientList& clients_;
  RunLog log_;
  std::string log_path_;
  std::string message_;
};

}  // namespace quillbank
