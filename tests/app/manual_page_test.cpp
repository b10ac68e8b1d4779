// The manual page's text lines: what roff would take for a request or an
// escape is guarded.
#include <gtest/gtest.h>

#include <string>

#include "app/manual_page.h"

namespace quillbank {
namespace {

TEST(ManualPageTest, TextLinesAreEscapedForRoff) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {".starts like a request", "\\&.starts like a request"},
      {"'starts like a request", "\\&'starts like a request"},
      {"C:\\users\\jane", "C:\\eusers\\ejane"},
      {"--home is given", "\\-\\-home is given"},
      {"-auto: copy", "\\-auto: copy"},
      {"account-name prefix for -auto", "account-name prefix for \\-auto"},
      {"[-d] [-u] | --version", "[\\-d] [\\-u] | \\-\\-version"},
      {"(-c 4) \"-x\"", "(\\-c 4) \"\\-x\""},
      {"1-9, a.b. it's", "1-9, a.b. it's"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoffTextLine(c.text), c.line) << c.text;
  }
}

}  // namespace
}  // namespace quillbank
