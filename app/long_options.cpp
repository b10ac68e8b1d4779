#include "app/long_options.h"

#include <string_view>
#include <utility>
#include <vector>

namespace quillbank {
namespace {

struct Word {
  std::size_t start;
  std::size_t end;
};

// The words of `text`: runs of characters other than blanks, where a blank
// between double quotes belongs to the word.
std::vector<Word> SplitWords(std::string_view text) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) break;
    const std::size_t start = i;
    bool quoted = false;
    while (i < text.size() && (quoted || text[i] != ' ')) {
      if (text[i] == '"') quoted = !quoted;
      ++i;
    }
    words.push_back({start, i});
  }
  return words;
}

// Sets the flag of a known word; false for any other word.
bool TakeKnown(std::string_view word, LongOptions& options) {
  const std::pair<std::string_view, bool LongOptions::*> known[] = {
      {"--home", &LongOptions::home}, {"--json", &LongOptions::json},
      {"--help", &LongOptions::help}, {"-h", &LongOptions::help},
      {"/?", &LongOptions::help},     {"--version", &LongOptions::version},
      {"--dry-run", &LongOptions::dry_run}, {"--undo", &LongOptions::undo},
  };
  for (const auto& [name, flag] : known) {
    if (word == name) {
      options.*flag = true;
      return true;
    }
  }
  return false;
}

}  // namespace

LongOptions TakeLongOptions(std::string& text) {
  LongOptions options;
  std::string rest;
  std::size_t kept_to = 0;  // what of `text` is in `rest` already
  for (const Word& word : SplitWords(text)) {
    const std::string_view view = std::string_view(text).substr(word.start, word.end - word.start);
    if (!TakeKnown(view, options)) {
      if (view.rfind("--", 0) == 0 && !options.unknown) options.unknown = std::string(view);
      continue;
    }
    // Drop the word and the blank before it (after it, for the first word).
    std::size_t from = word.start;
    std::size_t to = word.end;
    if (from > kept_to && text[from - 1] == ' ') {
      --from;
    } else if (to < text.size() && text[to] == ' ') {
      ++to;
    }
    rest.append(text, kept_to, from - kept_to);
    kept_to = to;
  }
  rest.append(text, kept_to, std::string::npos);
  text = std::move(rest);
  return options;
}

}  // namespace quillbank
