#include "tests/support/test_data.h"

#include <gtest/gtest.h>

#include "tests/support/log_text.h"

namespace quillbank::testing {

std::string ReadTestData(std::string_view name) {
  for (const embedded::DataFile* file = embedded::kDataFiles; file->name; ++file) {
    if (name == file->name) return std::string(reinterpret_cast<const char*>(file->bytes), file->size);
  }
  ADD_FAILURE() << "tests/data/" << name << " is not there";
  return "";
}

std::string ReadTestData(std::initializer_list<std::string_view> names) {
  std::string bytes;
  for (const std::string_view name : names) bytes += ReadTestData(name);
  return bytes;
}

std::vector<std::string> TestDataLines(std::string_view name) { return LinesOf(ReadTestData(name)); }

std::vector<std::string> TestDataLines(std::initializer_list<std::string_view> names) {
  return LinesOf(ReadTestData(names));
}

std::string DetectionLog(const std::vector<std::string>& outcomes) {
  EXPECT_EQ(outcomes.size(), 5u) << "one outcome for each client";
  std::string log;
  std::size_t next = 0;
  for (const std::string& line : TestDataLines("logs/detection_none.log")) {
    const std::size_t dots = line.find(" ... ");
    if (dots == std::string::npos || next == outcomes.size()) {
      log += line + "\r\n";
    } else {
      log += line.substr(0, dots + 5) + outcomes[next++] + "\r\n";
    }
  }
  return log;
}

}  // namespace quillbank::testing
