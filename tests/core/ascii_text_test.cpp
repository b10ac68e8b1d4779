// Only A to Z have a case: the bytes beside them in the ASCII table, and
// those of multibyte characters that differ from each other as a letter's two
// cases do, must stay apart.
#include <gtest/gtest.h>

#include "core/ascii_text.h"

namespace quillbank {
namespace {

TEST(AsciiText, FoldsOnlyTheLettersAToZ) {
  EXPECT_EQ(AsciiLower("Jane.DOE@X-Y.org [Z]"), "jane.doe@x-y.org [z]");
  EXPECT_EQ(AsciiUpper("account{ab-9}_z"), "ACCOUNT{AB-9}_Z");
  // The neighbours of A-Z and a-z, and Latin-1 and UTF-8 letters.
  EXPECT_EQ(AsciiLower("@[`{\xC9\xC3\x89"), "@[`{\xC9\xC3\x89");
  EXPECT_EQ(AsciiUpper("@[`{\xE9\xC3\xA9"), "@[`{\xE9\xC3\xA9");
}

TEST(AsciiText, TellsStartsAndEnds) {
  struct Case {
    std::string_view text, piece;
    bool starts, ends, starts_ignoring_case;
  };
  for (const Case& c : {
           Case{"Profile0", "Profile", true, false, true},
           Case{"profile0", "Profile", false, false, true},
           Case{"Pro", "Profile", false, false, false},  // a piece longer than the text
           Case{"x.useremail", ".useremail", false, true, false},
           Case{"abc", "", true, true, true},
           Case{"[Profile", "{profile", false, false, false},
           Case{"@\xC9", "`\xE9", false, false, false},
       }) {
    EXPECT_EQ(StartsWith(c.text, c.piece), c.starts) << c.text << " / " << c.piece;
    EXPECT_EQ(EndsWith(c.text, c.piece), c.ends) << c.text << " / " << c.piece;
    EXPECT_EQ(StartsWithIgnoringCase(c.text, c.piece), c.starts_ignoring_case)
        << c.text << " / " << c.piece;
  }
}

TEST(AsciiText, TrimsSpacesAndTabsOnly) {
  EXPECT_EQ(TrimBlanks(" \t key = value\t "), "key = value");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks("\r value\n"), "\r value\n");
}

}  // namespace
}  // namespace quillbank
