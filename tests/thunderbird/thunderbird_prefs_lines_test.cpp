// prefs.js lines read through the sparse index: every way of reaching a line
// (in order, backwards, across the kept starts, by iterator, by a character in
// it) gives the line SplitLinesKeepingEnds cuts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "clients/thunderbird/thunderbird_prefs.h"
#include "env/text_file.h"

namespace quillbank::thunderbird {
namespace {

// `count` preference lines ended by the line ends of `ends` in turn.
std::string Prefs(std::size_t count, const std::vector<std::string>& ends) {
  std::string text;
  for (std::size_t n = 0; n < count; ++n) {
    text += "user_pref(\"k" + std::to_string(n) + "\", " + std::to_string(n) + ");" +
            ends[n % ends.size()];
  }
  return text;
}

TEST(ThunderbirdPrefsLines, EveryLineIsFoundHoweverItIsReached) {
  const std::string cases[] = {
      "",
      "no line end",
      Prefs(200, {"\r\n", "\n", "\r"}),
      Prefs(130, {"\n"}),
      Prefs(64, {"\r\n"}) + "last",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    const std::vector<std::string_view> expected = SplitLinesKeepingEnds(text);
    const PrefsLines lines(text);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines.Text(), text);

    std::vector<std::string_view> walked(lines.begin(), lines.end());
    EXPECT_EQ(walked, expected);
    for (std::size_t n = expected.size(); n-- > 0;) EXPECT_EQ(lines[n], expected[n]) << n;
    for (std::size_t n = 0; n < expected.size(); n += 7) {
      EXPECT_EQ(lines[n], expected[n]) << n;
      EXPECT_EQ(lines[expected.size() - 1 - n], expected[expected.size() - 1 - n]) << n;
    }
    for (std::size_t n = 0; n < expected.size(); ++n) {
      const std::string_view line = expected[n];
      EXPECT_EQ(lines.LineOf(line.data()), n);
      EXPECT_EQ(lines.LineOf(line.data() + line.size() - 1), n);
      EXPECT_EQ(lines[n + 1 < expected.size() ? n + 1 : n].data(),
                expected[n + 1 < expected.size() ? n + 1 : n].data());  // after LineOf
    }
  }
}

}  // namespace
}  // namespace quillbank::thunderbird
