// What a TextSink prints must be byte for byte what the standard streams
// printed for the same values: text as it is (NUL and high bytes included)
// and integers in plain decimal, with no locale's grouping.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "core/text_sink.h"
#include "tests/support/captured_text.h"

namespace quillbank {
namespace {

template <typename Value>
std::string Printed(const Value& value) {
  testing::CapturedText captured;
  TextSink(captured) << value;
  return captured.str();
}

TEST(TextSink, PrintsTextAsItIs) {
  testing::CapturedText captured;
  TextSink out = captured;
  out << "Log file: " << std::string("C:\\x") << ' ' << std::string_view("\xE9\r\n")
      << std::string("a\0b", 3) << "" << std::string();
  EXPECT_EQ(captured.str(), std::string("Log file: C:\\x \xE9\r\na\0b", 21));
}

TEST(TextSink, PrintsIntegersInPlainDecimal) {
  struct Case {
    std::string printed;
    const char* expected;
  };
  const Case cases[] = {
      {Printed(0), "0"},
      {Printed(-5L), "-5"},
      {Printed(1234567), "1234567"},
      {Printed(LLONG_MIN), "-9223372036854775808"},
      {Printed(std::uint32_t{0x80004005}), "2147500037"},
      {Printed(std::size_t{4}), "4"},
      {Printed('7'), "7"},  // a char is a character, not a number
  };
  for (const Case& c : cases) EXPECT_EQ(c.printed, c.expected);
}

TEST(TextSink, FlushesOnlyWhenAsked) {
  testing::CapturedText captured;
  TextSink out = captured;
  out << "line\n";
  EXPECT_EQ(captured.flushes(), 0);
  out.Flush();
  EXPECT_EQ(captured.flushes(), 1);
  TextSink(nullptr, [](void*, const char*, std::size_t) {}).Flush();  // a sink with nothing to flush
}

}  // namespace
}  // namespace quillbank
