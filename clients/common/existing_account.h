// Every client's run looks for the account it is about to write before it
// writes anything, and ends the search's log line with what it does then:
// leaves the account alone (overwrite off), resets it in place (overwrite on)
// or creates it. Each store searches in its own way; the log line and the
// decision are the same for all of them, but for Outlook Express's wording.
#pragma once

#include <string_view>

#include "core/config_status.h"

namespace quillbank {

class RunLog;

// How the search and its decision read in a store's log.
struct AccountSearchTexts {
  const char* search_start;  // + the name searched for + search_end
  const char* search_end;
  const char* unchanged;     // found, overwrite off
  const char* quitting;      // found, overwrite off, where the store answers with status 6
  const char* resetting;     // found, overwrite on
  const char* creating;      // not found
};

// The texts of every store but Outlook Express's.
inline constexpr AccountSearchTexts kAccountSearchTexts{
    "Searching for existant ",
    " account ... ",
    " found. No changes will be made.",
    " found. Quitting.",
    " found. Reseting settings to defaults.",
    "not found. Creating new account.",
};

// Starts the search's line with the name searched for. The decision ends the
// line; a search may add to it before (Windows Mail logs the pattern it
// lists there).
void LogAccountSearch(RunLog& log, std::string_view name,
                      const AccountSearchTexts& texts = kAccountSearchTexts);

// How a run that leaves a found account alone ends: status 5, or status 6
// with its own text, which the Outlook stores answer in the automatic mode.
enum class SkipAnswer { kAlreadyExists, kQuit };

enum class AccountStep { kSkip, kReset, kCreate };

struct AccountDecision {
  AccountStep step;
  ConfigStatus status;  // the status the run ends with when it skips; else kSuccess
};

// Decides on the account the search found (or not) and ends the search's line
// with the decision.
[[nodiscard]] AccountDecision DecideOnAccount(
    RunLog& log, bool found, bool overwrite, SkipAnswer skip_answer = SkipAnswer::kAlreadyExists,
    const AccountSearchTexts& texts = kAccountSearchTexts);

}  // namespace quillbank
