// Conversions between narrow text, UTF-16 and UTF-8: what reaches a UTF-16 or
// UTF-8 store is the character the user typed, and what a code page cannot
// hold is refused rather than replaced.
#include <gtest/gtest.h>

#include "env/platform/code_page.h"

namespace quillbank {
namespace {

TEST(Windows1252, WidensAndNarrowsEveryCharacterExactly) {
  struct Case {
    std::string narrow;
    std::u16string wide;
  };
  const Case cases[] = {
      {"Jane", u"Jane"},
      {"\x80", u"\u20AC"},                   // the euro sign, not U+0080
      {"J\xFCrgen Gr\xF6\xDF", u"J\u00FCrgen Gr\u00F6\u00DF"},
      {"\x9F\xFF", u"\u0178\u00FF"},
      {"\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},  // undefined: kept as C1
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Windows1252().Widen(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(Windows1252().Narrow(c.wide), c.narrow) << c.narrow;
  }
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(Windows1252().Narrow(Windows1252().Widen(one)), one) << byte;
  }
  // What the code page lacks is refused, never turned into "?".
  EXPECT_EQ(Windows1252().Narrow(u"\u4E2D\u6587"), std::nullopt);
  EXPECT_EQ(Windows1252().Narrow(u"\u0080"), std::nullopt);
}

TEST(Utf8, ConvertsWellFormedTextAndRefusesTheRest) {
  EXPECT_EQ(Utf8ToUtf16("J\xC3\xBCrgen \xE2\x82\xAC"), u"J\u00FCrgen \u20AC");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x93\xA7"), u"\U0001F4E7");
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\x80", "\xFF", "a\xC3(b"}) {
    EXPECT_EQ(Utf8ToUtf16(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(Utf16ToUtf8(u"J\u00FCrgen \u20AC \U0001F4E7"), "J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9F\x93\xA7");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");

  EXPECT_EQ(Utf8ToNarrow(Windows1252(), "J\xC3\xBCrgen Gr\xC3\xB6\xC3\x9F \xE2\x82\xAC"),
            "J\xFCrgen Gr\xF6\xDF \x80");
  EXPECT_EQ(Utf8ToNarrow(Windows1252(), "\xE4\xB8\xAD\xE6\x96\x87"), std::nullopt);
  EXPECT_EQ(NarrowToUtf8(Windows1252(), "Gr\xF6\xDF \x80"), "Gr\xC3\xB6\xC3\x9F \xE2\x82\xAC");
}

TEST(Utf8CodePage, HoldsEveryCharacterAndMarksBrokenBytes) {
  EXPECT_EQ(Utf8().Narrow(u"\u4E2D \U0001F4E7"), "\xE4\xB8\xAD \xF0\x9F\x93\xA7");
  EXPECT_EQ(Utf8().Widen("\xE4\xB8\xAD"), u"\u4E2D");
  // Each byte that is not part of a whole sequence is one U+FFFD.
  EXPECT_EQ(Utf8().Widen("a\xFF\xE4\xB8" "b"), u"a\uFFFD\uFFFD\uFFFDb");
  // A lone surrogate has no UTF-8 form and is refused, not replaced.
  EXPECT_EQ(Utf8().Narrow(std::u16string(1, char16_t{0xDC00})), std::nullopt);
  EXPECT_EQ(Utf8().Narrow(u"x" + std::u16string(1, char16_t{0xD800})), std::nullopt);
}

}  // namespace
}  // namespace quillbank
