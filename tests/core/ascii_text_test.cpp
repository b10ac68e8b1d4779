// Only A to Z have a case: the bytes beside them in the ASCII table, and
// those of multibyte characters that differ from each other as a letter's two
// cases do, must stay apart.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

// Words split where a string stream's >> would: at the C locale's white
// space, and nowhere else (not at NUL, not inside UTF-8 or Latin-1 letters).
TEST(AsciiText, SplitsWordsAtWhiteSpaceOnly) {
  using Words = std::vector<std::string_view>;
  struct Case {
    std::string_view text;
    Words words;
  };
  for (const Case& c : {
           Case{"", {}},
           Case{" \t\n\v\f\r", {}},
           Case{"--help, -h, /?", {"--help,", "-h,", "/?"}},
           Case{"  lead\tand\r\ntrail  ", {"lead", "and", "trail"}},
           Case{"caf\xC3\xA9 \xA0nbsp", {"caf\xC3\xA9", "\xA0nbsp"}},
           Case{std::string_view("a\0b c", 5), {std::string_view("a\0b", 3), "c"}},
           Case{"\x08\x0E\x1F\x21", {"\x08\x0E\x1F\x21"}},  // the bytes beside tab..CR and blank
       }) {
    EXPECT_EQ(AsciiWords(c.text), c.words) << c.text;
  }
}

// The log's time stamps and the paths below /proc were written by printf;
// the same numbers must come out byte for byte, at the ends of the range too.
TEST(AsciiText, WritesNumbersAsPrintfDoes) {
  struct Case {
    long long value;
    int width;
  };
  for (const Case& c : {Case{0, 1}, Case{0, 2}, Case{7, 2}, Case{10, 2}, Case{99, 2},
                        Case{123, 2}, Case{-5, 2}, Case{-5, 3}, Case{-12, 2}, Case{4194304, 1},
                        Case{LLONG_MAX, 1}, Case{LLONG_MIN, 1}, Case{LLONG_MIN, 25}}) {
    char expected[40];
    std::snprintf(expected, sizeof expected, "%0*lld", c.width, c.value);
    std::string written = "x";
    AppendDecimal(written, c.value, c.width);
    EXPECT_EQ(written, std::string("x") + expected) << c.value << " in " << c.width;
  }
  for (const unsigned long long value : {0ULL, 9ULL, 10ULL, 0xfe01ULL, 0xABCDEFULL, ULLONG_MAX}) {
    char expected[40];
    std::snprintf(expected, sizeof expected, "%llx", value);
    std::string written;
    AppendHex(written, value);
    EXPECT_EQ(written, expected) << value;
  }
}

}  // namespace
}  // namespace quillbank
