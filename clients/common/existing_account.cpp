#include "clients/common/existing_account.h"

#include "env/run_log.h"

namespace quillbank {

void LogAccountSearch(RunLog& log, std::string_view name, const AccountSearchTexts& texts) {
  log << texts.search_start << name << texts.search_end;
}

AccountDecision DecideOnAccount(RunLog& log, bool found, bool overwrite, SkipAnswer skip_answer,
                                const AccountSearchTexts& texts) {
  if (!found) {
    log.Line(texts.creating);
    return {AccountStep::kCreate, status::kSuccess};
  }
  if (overwrite) {
    log.Line(texts.resetting);
    return {AccountStep::kReset, status::kSuccess};
  }
  if (skip_answer == SkipAnswer::kQuit) {
    log.Line(texts.quitting);
    return {AccountStep::kSkip, status::kAutoAccountExists};
  }
  log.Line(texts.unchanged);
  return {AccountStep::kSkip, status::kAlreadyExists};
}

}  // namespace quillbank
