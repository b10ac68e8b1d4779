#include <gtest/gtest.h>

#include "env/run_log.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::FixedClock;

TEST(RunLogTest, WritesTextNumbersAndCrLfLineEnds) {
  CapturedLog captured;
  captured.log() << "Error code: " << -1 << kEndLine;
  captured.log().EmptyLine();
  EXPECT_EQ(captured.text(), "Error code: -1\r\n\r\n");
}

TEST(RunLogTest, DiscardsWritesAfterClose) {
  CapturedLog captured;
  captured.log().Line("before");
  captured.log().Close();
  captured.log().Line("after");
  EXPECT_EQ(captured.text(), "before\r\n");
}

TEST(RunLogTest, LoggedValuesShowControlCharactersAndBackslashesAsEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"Jane Doe", "Jane Doe"},
      {"a\r\nb", "a\\x0D\\x0Ab"},
      {std::string("\0\x1F\x7F", 3), "\\x00\\x1F\\x7F"},
      {"C:\\x0A", "C:\\\\x0A"},  // not to be mistaken for an escaped line end
      {"\xE9\x80\xFF", "\xE9\x80\xFF"},  // code page text stays as it is
  };
  for (const auto& [value, shown] : cases) EXPECT_EQ(LogValue(value), shown) << shown;
}

TEST(RunLogTest, TimeStampUsesTwoDigitFieldsAndYear) {
  FixedClock clock;
  clock.now = {2009, 2, 3, 4, 5, 6};
  EXPECT_EQ(TimeStamp(clock), "04:05:06 on 02/03/09");
}

// Each line reaches the file in one write, at its end; an unfinished line is
// written when the log closes.
TEST(RunLogTest, WritesEachLineInOneAppend) {
  class Appends final : public AppendFile {
   public:
    explicit Appends(std::vector<std::string>& seen) : seen_(seen) {}
    bool Append(std::string_view bytes) override {
      seen_.emplace_back(bytes);
      return true;
    }
    bool Close() override { return true; }

   private:
    std::vector<std::string>& seen_;
  };
  std::vector<std::string> seen;
  RunLog log;
  log.Open(std::make_unique<Appends>(seen));
  log << "Searching for " << "X" << " ... ";
  EXPECT_TRUE(seen.empty());
  log << "found." << kEndLine;
  log.EmptyLine();
  log << "cut short";
  log.Close();
  EXPECT_EQ(seen, (std::vector<std::string>{"Searching for X ... found.\r\n", "\r\n", "cut short"}));
}

}  // namespace
}  // namespace quillbank
