// Lines are cut after "\r\n", "\n" or a "\r" on its own, each keeping its end,
// however the text mixes them and wherever cutting starts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "env/text_file.h"

namespace quillbank {
namespace {

using Lines = std::vector<std::string_view>;

TEST(TextFileTest, LinesAreCutAtEveryKindOfLineEnd) {
  struct Case {
    const char* text;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a\r\n"}},
      {"a\nb", {"a\n", "b"}},
      {"a\rb\r", {"a\r", "b\r"}},
      {"a\r\r\nb", {"a\r", "\r\n", "b"}},
      {"\n\n\r\r", {"\n", "\n", "\r", "\r"}},
      {"a\r\nb\rc\nd\r\n", {"a\r\n", "b\r", "c\n", "d\r\n"}},
      {"x\ry\rz\n", {"x\r", "y\r", "z\n"}},  // lone CRs before the next LF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(SplitLinesKeepingEnds(c.text), c.lines);
    // Cutting may also start anew at any line, after one further on.
    LineCutter cutter(c.text);
    for (std::size_t n = c.lines.size(); n-- > 0;) {
      std::size_t at = 0;
      for (std::size_t k = 0; k < n; ++k) at += c.lines[k].size();
      EXPECT_EQ(cutter.LineAt(at), c.lines[n]);
    }
  }
}

TEST(PiecedTextTest, RunsOfTheOldTextJoinAndOwnTextSurvivesAMove) {
  const std::string old = "a\nb\nc\n";
  PiecedText text;
  text.Borrow(std::string_view(old).substr(0, 2));
  text.Borrow(std::string_view(old).substr(2, 2));  // right after: the same run
  text.Add("new\n");
  text.Borrow(std::string_view(old).substr(4, 2));
  text.Borrow(std::string_view(old).substr(0, 2));  // not after the last run
  text.Add("");
  EXPECT_EQ(text.pieces().size(), 4u);
  EXPECT_EQ(text.Back(), '\n');
  const PiecedText moved = std::move(text);  // short own texts live inside their string
  EXPECT_EQ(moved.Joined(), "a\nb\nnew\nc\na\n");
  EXPECT_TRUE(PiecedText().Empty());
  PiecedText nul;  // a text may end in "\0" and still not be empty
  nul.Add(std::string(1, '\0'));
  EXPECT_FALSE(nul.Empty());
}

}  // namespace
}  // namespace quillbank
