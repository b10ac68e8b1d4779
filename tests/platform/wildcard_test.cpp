#include "env/platform/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace quillbank {
namespace {

struct WildcardCase {
  const char* name;
  const char* pattern;
  bool matches;
};

TEST(MatchesWildcardTest, EdgeCases) {
  const WildcardCase cases[] = {
      {"", "", true},
      {"a", "", false},
      {"", "*", true},
      {"", "?", false},
      {"", "**", true},
      {"account{1}.oeaccount", "account*", true},
      {"ACCOUNT{1}.OEACCOUNT", "account*", true},  // letters without regard to case
      {"Account", "aCCOUNT", true},
      {"accounts.txt", "account?", false},         // "?" is one character, not a run
      {"account", "account?", false},
      {"account1", "account?", true},
      {"prefs.js", "*.js", true},
      {"prefs.json", "*.js", false},               // the pattern must reach the end
      {"aab", "*ab", true},                        // the star has to give back
      {"abxabyd", "a*b?d", true},                  // the first "b" is not the one
      {"abcabd", "a*b?d", false},
      {"abc", "a**c", true},
      {"abc", "abc*", true},
      {"ab", "abc*", false},
      {"a.b", "*.*", true},
      {"\xC9t\xE9", "\xC9T\xE9", true},  // other bytes only as they are
      {"\xE9t\xE9", "\xC9T\xE9", false},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*a*a*a*a*a*a*a*b", false},
  };
  for (const WildcardCase& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches)
        << '"' << c.name << "\" against \"" << c.pattern << '"';
  }
}

}  // namespace
}  // namespace quillbank
