// Fixture files kept once below tests/data: golden stores (prefs.js,
// Eudora.ini, Windows Mail account text, registry files) and expected logs or
// blocks of them, shared by the unit and the end-to-end tests. They are built
// into the test programs (tests/support/test_data.cmake), so the Windows
// build's tests find them under Wine just as the native ones do. Their bytes
// are kept exactly: tests/data/.gitattributes stops git from touching line
// ends, so a CR LF fixture stays CR LF.
//
//   EXPECT_EQ(files.ReadFile(kPrefs), ReadTestData("thunderbird/prefs_two_accounts.js"));
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::testing {

// The bytes of tests/data/<name>, the name given with forward slashes. A name
// that is not there fails the calling test and gives "".
[[nodiscard]] std::string ReadTestData(std::string_view name);

// The bytes of several files one after the other: a whole log from the blocks
// it is made of.
[[nodiscard]] std::string ReadTestData(std::initializer_list<std::string_view> names);

// The bytes split into lines as LinesOf splits them (a last line end adds no
// empty line).
[[nodiscard]] std::vector<std::string> TestDataLines(std::string_view name);
[[nodiscard]] std::vector<std::string> TestDataLines(std::initializer_list<std::string_view> names);

// What a run logs while it looks for the five clients (Thunderbird, Eudora,
// Outlook Express, Windows Mail, Outlook, in that order), and the blank line
// after it: logs/detection_none.log with each client's outcome ("found.",
// "not detected.", "found. (Version 11)") put in.
[[nodiscard]] std::string DetectionLog(const std::vector<std::string>& outcomes);

namespace embedded {
// One file as the generated source holds it; the list ends with a null name.
struct DataFile {
  const char* name;
  const unsigned char* bytes;
  std::size_t size;
};
extern const DataFile kDataFiles[];
}  // namespace embedded

}  // namespace quillbank::testing
