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
  struct Case {
    bool found, overwrite;
    SkipAnswer answer;
    AccountStep step;
    ConfigStatus status;
    const char* line;
  };
  const Case cases[] = {
      {false, false, SkipAnswer::kQuit, AccountStep::kCreate, status::kSuccess,
       "not found. Creating new account."},
      {false, true, SkipAnswer::kAlreadyExists, AccountStep::kCreate, status::kSuccess,
       "not found. Creating new account."},
      {true, true, SkipAnswer::kQuit, AccountStep::kReset, status::kSuccess,
       " found. Reseting settings to defaults."},
      {true, false, SkipAnswer::kAlreadyExists, AccountStep::kSkip, status::kAlreadyExists,
       " found. No changes will be made."},
      {true, false, SkipAnswer::kQuit, AccountStep::kSkip, status::kAutoAccountExists,
       " found. Quitting."},
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
  }
}

TEST(ExistingAccount, AStoreWithItsOwnWordingLogsOnlyItsOwnTexts) {
  const AccountSearchTexts texts{"search ", " end|", "unchanged", "quitting", "resetting",
                                 "creating"};
  testing::CapturedLog log;
  LogAccountSearch(log.log(), "a@b.c", texts);
  (void)DecideOnAccount(log.log(), true, false, SkipAnswer::kAlreadyExists, texts);
  (void)DecideOnAccount(log.log(), true, false, SkipAnswer::kQuit, texts);
  (void)DecideOnAccount(log.log(), true, true, SkipAnswer::kQuit, texts);
  (void)DecideOnAccount(log.log(), false, false, SkipAnswer::kQuit, texts);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"search a@b.c end|unchanged", "quitting",
                                                   "resetting", "creating"}));
}

}  // namespace
}  // namespace quillbank
