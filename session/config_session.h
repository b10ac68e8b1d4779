// One run of the program: the initialisation (log banner, detection, refusal
// while a client runs) and the configuration run. The dialog drives it from
// its handlers; the command-line and automatic modes call it directly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/client_list.h"

#include "session/configurator_factory.h"
#include "session/run_state.h"
#include "session/run_view.h"
#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

struct DefaultClientFound;

// Exit codes of the command-line and automatic modes, for login scripts. A
// configurator's positive status is passed on as it is.
namespace exit_code {
inline constexpr int kSuccess = 0;
inline constexpr int kNoConfigurator = 10;  // the "-c" value names no client
inline constexpr int kNoDefault = 11;
inline constexpr int kDefaultDoesNotExist = 12;
inline constexpr int kUnsupportedDefault = 13;
inline constexpr int kClientRunning = 20;
inline constexpr int kMachineBusy = 21;     // another run held the machine too long
inline constexpr int kChangedSince = 22;    // undo: a store changed since the run
inline constexpr int kNothingToUndo = 23;
inline constexpr int kUnsafeInput = 30;
inline constexpr int kUsage = 64;          // a required option is missing
inline constexpr int kMachineUnusable = 69;
inline constexpr int kNoDialog = 70;        // the dialog window could not be made
}  // namespace exit_code

// How long a run waits for another run on the same machine to end.
inline constexpr std::uint32_t kRunLockWaitMs = 10000;

// Lets the run lock go when the run ends, on every path.
class HeldRunLock final {
 public:
  explicit HeldRunLock(RunLock* lock) : lock_(lock) {}
  ~HeldRunLock() {
    if (lock_) lock_->Release();
  }
  HeldRunLock(const HeldRunLock&) = delete;
  HeldRunLock& operator=(const HeldRunLock&) = delete;

 private:
  RunLock* lock_;
};

// The exit code for a configuration run that ended with `status`.
[[nodiscard]] int ExitCodeForStatus(ConfigStatus status);

struct AutomaticFailure;

class ConfigSession {
 public:
  // `view` is null in the command-line and automatic modes.
  ConfigSession(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory,
                RunState& state, RunView* view);

  // Opens the log, writes the banner, detects the clients and refuses while
  // one runs. True when the run may go on; false after a refusal.
  bool OnInitDialog();
  // The configuration run, holding the machine's run lock from before the
  // first store is read to its end; refused when another run holds the lock
  // for longer than kRunLockWaitMs. Closes the log on every path.
  void OnConfigure();
  // The dialog was closed before any run: log it and close the log.
  void LogTerminatedByUser();
  // Opens the closed log again to append to it (after the run has ended).
  void ReopenLog();

  // The client and account this run configures: the user's (typed or
  // chosen in the dialog), or the account the automatic mode read.
  struct Account {
    int client_index = kNoClient;
    std::string address;
    std::string display_name;
    // The account's name in its store, once the configurator made, reset or
    // found it (see Configurator::stored_as).
    std::optional<std::string> stored_as;
  };
  [[nodiscard]] const Account& account() const { return run_; }

  RunLog& log() { return log_; }
  [[nodiscard]] const std::string& log_path() const { return log_path_; }
  // The major version detection read for the client, -1 where none was.
  [[nodiscard]] int VersionOf(int client_index) const;
  [[nodiscard]] const ClientList& clients() const { return clients_; }
  Platform& platform() { return platform_; }

 private:
  void OpenLog();
  void WriteBanner();
  void DetectInstalledClients();
  void Refuse();
  void RefuseBusyMachine();
  void EndRefused(const char* log_line, const char* message, int exit_code);
  void Configure();
  void DetectDefaultClient();
  void LogDesktopHandler(const DefaultClientFound& found);
  // The request the configurator is made from: what was typed, or in the
  // automatic mode the account read, under the prefix.
  AccountRequest MakeRequest();
  // Reads the account the automatic mode copies into run_; false after one
  // of the automatic failures or the reader's refusal, which end the run.
  bool PrepareAutomaticRun();
  void FailAutomaticRun(const AutomaticFailure& failure);
  // Makes and runs the configurator and, when it succeeded, commits the
  // registry.
  ConfigStatus RunConfigurator();
  ConfigStatus CommitRegistry();
  void ReportOutcome(ConfigStatus status);

  Platform& platform_;
  const ClientList& clients_;
  ConfiguratorFactory& factory_;
  RunState& state_;
  RunView* view_;
  RunLog log_;
  std::string log_path_;
  std::vector<int> versions_;  // by client index
  int default_client_code_ = -1;
  Account run_;
};

}  // namespace quillbank
