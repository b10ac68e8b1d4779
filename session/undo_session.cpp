#include "session/undo_session.h"

#include "env/client_detection.h"
#include "env/undo.h"
#include "env/undo_journal.h"
#include "env/user_folders.h"
#include "session/config_session.h"

namespace quillbank {

int UndoSession::Run() {
  if (const std::optional<std::string> folder = LogFolder(platform_)) {
    log_path_ = JoinPath(platform_, *folder, "Quillbank.log");
    log_.Open(platform_.files.OpenForAppend(log_path_));
  }
  log_.Line("Quillbank - Tessaline Log");
  log_.Line("-------------------------------------------");
  log_.EmptyLine();
  log_ << "* Beginning Undo (command line) at " << TimeStamp(platform_.clock) << " *" << kEndLine;
  log_.EmptyLine();

  if (CloseRunningClients(platform_, clients_, false, log_) == RunningClients::Running) {
    return End(exit_code::kClientRunning,
               "Please exit all running email clients, and then run the undo again.", false);
  }
  RunLock* lock = platform_.run_lock;
  if (lock && !lock->Acquire(kRunLockWaitMs)) {
    return End(exit_code::kMachineBusy, "Another Quillbank run is changing this machine; try again.",
               false);
  }
  const HeldRunLock held(lock);
  const std::optional<std::string> journals = JournalsFolder(platform_);
  const UndoResult result = journals ? UndoNewestJournal(platform_, *journals) : UndoResult{};
  for (const std::string& line : result.restored) log_.Line(line);
  for (const std::string& line : result.kept) log_.Line(line);
  switch (result.outcome) {
    case UndoResult::Outcome::Undone:
      return End(exit_code::kSuccess, "The last run's changes were undone.", true);
    case UndoResult::Outcome::NothingToUndo:
      return End(exit_code::kNothingToUndo, "There is nothing to undo.", false);
    case UndoResult::Outcome::ChangedSince:
      return End(exit_code::kChangedSince,
                 result.item + " has changed since the run. Nothing was undone.", false);
    case UndoResult::Outcome::Failed:
      break;
  }
  return End(status::kWriteFailed, "Could not put back " + result.item + ". Nothing was undone.",
             false);
}

int UndoSession::End(int exit_code, std::string message, bool complete) {
  if (!complete) log_.Line(message);
  log_.EmptyLine();
  log_ << (complete ? "* Undo Complete at " : "* Undo Incomplete. Terminated at ")
       << TimeStamp(platform_.clock) << " *" << kEndLine;
  log_.EmptyLine();
  log_.Close();
  message_ = std::move(message);
  return exit_code;
}

}  // namespace quillbank
