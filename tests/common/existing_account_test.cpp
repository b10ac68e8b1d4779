// The decision every store makes on the account its search found, and the
// search line it ends: what the run does, the status a skip ends it with, and
// the text, in the shared wording and in a store's own.
#include <gtest/gtest.h>

#include <string>

#include "clients/common/existing_account.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

TEST(ExistingAccount, FoundAndOverwriteDecideTheStepTheStatusAndTheLine) {
  const AccountSearchTexts own{"search ", " end|", "unchanged", "quit", "reset", "create"};
  struct Case {
    bool found, overwrite;
    SkipAnswer answer;
    AccountStep step;
    ConfigStatus status;
    const char* line;
    const char* own_line;
  };
  const Case cases[] = {
      {false, false, SkipAnswer::kQuit, AccountStep::kCreate, status::kSuccess,
       "not found. Creating new account.", "create"},
      {false, true, SkipAnswer::kAlreadyExists, AccountStep::kCreate, status::kSuccess,
       "not found. Creating new account.", "create"},
      {true, true, SkipAnswer::kQuit, AccountStep::kReset, status::kSuccess,
       " found. Reseting settings to defaults.", "reset"},
      {true, false, SkipAnswer::kAlreadyExists, AccountStep::kSkip, status::kAlreadyExists,
       " found. No changes will be made.", "unchanged"},
      {true, false, SkipAnswer::kQuit, AccountStep::kSkip, status::kAutoAccountExists,
       " found. Quitting.", "quit"},
  };
  for (const Case& c : cases) {
    testing::CapturedLog log;
    LogAccountSearch(log.log(), "Tess-jane@tessaline.net");
    const AccountDecision decision = DecideOnAccount(log.log(), c.found, c.overwrite, c.answer);
    EXPECT_EQ(decision.step, c.step) << c.line;
    EXPECT_EQ(decision.status, c.status) << c.line;
    EXPECT_EQ(log.text(),
              std::string("Searching for existant Tess-jane@tessaline.net account ... ") + c.line +
                  "\r\n");

    testing::CapturedLog own_log;
    LogAccountSearch(own_log.log(), "a@b.c", own);
    EXPECT_EQ(DecideOnAccount(own_log.log(), c.found, c.overwrite, c.answer, own).status, c.status);
    EXPECT_EQ(own_log.text(), std::string("search a@b.c end|") + c.own_line + "\r\n");
  }
}

}  // namespace
}  // namespace quillbank
