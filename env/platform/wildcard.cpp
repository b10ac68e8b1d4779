#include "env/platform/wildcard.h"

#include "core/ascii_text.h"

namespace quillbank {
namespace {

bool SameCharacter(char pattern, char name) {
  return pattern == '?' || AsciiUpper(pattern) == AsciiUpper(name);
}

}  // namespace

// Walks the name from left to right. At a "*" it notes where the star stood and lets it
// cover nothing; when a later character fails, the last star covers one more
// character and matching resumes after it. Only the last star ever needs to
// grow, so the work is bounded by the two lengths multiplied, never
// exponential, and nothing recurses.
bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;  // the last "*" seen in the pattern
  std::size_t covered = 0;                    // where in the name that star's run ends
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      covered = n;
    } else if (p < pattern.size() && SameCharacter(pattern[p], name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++covered;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string UpperFileName(std::string_view name) { return AsciiUpper(name); }

}  // namespace quillbank
