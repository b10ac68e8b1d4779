// One run of the program: the initialisation (log banner, detection, refusal
// while a client runs) and the configuration run. The dialog drives it from
// its handlers; the command-line and automatic modes call it directly.
#pragma once

#include <memory>
#include <string>

#include "app/configurator_factory.h"
#include "app/run_state.h"
#include "app/run_view.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

class ConfigSession {
 public:
  // `view` is null in the command-line and automatic modes.
  ConfigSession(Platform& platform, ConfiguratorFactory& factory, RunState& state, RunView* view);

  // Opens the log, writes the banner, detects the clients and refuses while
  // one runs. True when the run may go on; false after a refusal.
  bool OnInitDialog();
  // The configuration run. Closes the log on every path.
  void OnConfigure();
  // The dialog was closed before any run: log it and close the log.
  void LogTerminatedByUser();

  RunLog& log() { return log_; }
  [[nodiscard]] const std::string& log_path() const { return log_path_; }
  [[nodiscard]] int outlook_version() const { return outlook_version_; }
  Platform& platform() { return platform_; }

 private:
  Platform& platform_;
  ConfiguratorFactory& factory_;
  RunState& state_;
  RunView* view_;
  RunLog log_;
  std::string log_path_;
  int outlook_version_ = -1;
};

}  // namespace quillbank
