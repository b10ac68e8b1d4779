// The journal's "after" of a file is what undo compares the file with: the
// run hashes what it writes piece by piece (runs of the old file and the lines
// it adds), undo hashes the whole file it finds. The two must agree however
// the pieces were cut, and any ordinary edit must show.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "env/undo_journal.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

constexpr const char* kJournals = "C:\\users\\jane\\AppData\\Local\\Quillbank\\undo";

// Every "after" the journal noted, in order.
std::vector<std::string> NotedAfters(testing::FakePlatform& machine) {
  std::vector<std::string> afters;
  for (const std::string& path : machine.files.AllFiles()) {
    if (path.size() < 14 || path.compare(path.size() - 14, 14, "\\journal.jsonl") != 0) continue;
    const std::string text = machine.files.ReadFile(path).value_or("");
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      const nlohmann::json line = nlohmann::json::parse(text.substr(start, end - start));
      if (line.contains("after") && line["after"].is_string()) afters.push_back(line["after"]);
    }
  }
  return afters;
}

// 200 bytes, no two 8-byte words alike.
std::string Text() {
  std::string text;
  for (int i = 0; i < 200; ++i) text += static_cast<char>(' ' + (i * 37 + i / 8) % 95);
  return text;
}

TEST(UndoJournal, HashesAFileAlikeHoweverItsPiecesAreCut) {
  testing::FakePlatform machine;
  JournalWriter journal(machine.platform, kJournals);
  const std::string text = Text();
  ASSERT_TRUE(journal.NoteFile("C:\\whole.js", std::string_view(text)));
  // Pieces of one size, and pieces of changing sizes that straddle the
  // hash's words and blocks at every offset.
  std::vector<std::vector<std::string_view>> cuts;
  for (const std::size_t size : {1, 3, 7, 8, 9, 31, 32, 33, 64, 199, 200}) {
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at < text.size(); at += size) pieces.push_back(std::string_view(text).substr(at, size));
    cuts.push_back(pieces);
  }
  std::vector<std::string_view> uneven{std::string_view()};
  for (std::size_t at = 0, size = 1; at < text.size(); at += size, size = size % 13 + 1) {
    uneven.push_back(std::string_view(text).substr(at, size));
    uneven.push_back(std::string_view());
  }
  cuts.push_back(uneven);
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    ASSERT_TRUE(journal.NoteFile("C:\\cut" + std::to_string(i) + ".js", std::string_view(text), &cuts[i]));
  }
  const std::vector<std::string> afters = NotedAfters(machine);
  ASSERT_EQ(afters.size(), cuts.size() + 1);
  for (std::size_t i = 1; i < afters.size(); ++i) EXPECT_EQ(afters[i], afters[0]) << "cut " << i - 1;
  EXPECT_EQ(afters[0].size(), 16u);
}

TEST(UndoJournal, HashesEveryOrdinaryEditApart) {
  const std::string text = Text();
  auto swapped = [&](std::size_t a, std::size_t b, std::size_t length) {
    std::string edited = text;
    for (std::size_t i = 0; i < length; ++i) std::swap(edited[a + i], edited[b + i]);
    return edited;
  };
  auto changed = [&](std::size_t at) {
    std::string edited = text;
    edited[at] = static_cast<char>(edited[at] ^ 1);
    return edited;
  };
  struct Case {
    const char* edit;
    std::string text;
  };
  const Case cases[] = {
      {"as written", text},
      {"first byte", changed(0)},
      {"a byte in the second word", changed(9)},
      {"a byte in the last whole block", changed(191)},
      {"the last byte", changed(199)},
      {"two words of one block trade places", swapped(0, 8, 8)},
      {"two blocks trade places", swapped(0, 32, 32)},
      {"a zero byte added", text + std::string(1, '\0')},
      {"eight zero bytes added", text + std::string(8, '\0')},
      {"32 zero bytes added", text + std::string(32, '\0')},
      {"the last byte removed", text.substr(0, 199)},
      {"empty", ""},
  };
  testing::FakePlatform machine;
  JournalWriter journal(machine.platform, kJournals);
  for (const Case& c : cases) {
    ASSERT_TRUE(journal.NoteFile(std::string("C:\\") + c.edit, std::string_view(c.text))) << c.edit;
  }
  const std::vector<std::string> afters = NotedAfters(machine);
  ASSERT_EQ(afters.size(), std::size(cases));
  EXPECT_EQ(std::set<std::string>(afters.begin(), afters.end()).size(), afters.size());
}

}  // namespace
}  // namespace quillbank
