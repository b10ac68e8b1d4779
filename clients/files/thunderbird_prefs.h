// Reading and writing single lines of Thunderbird's prefs.js, which holds one
// preference per line: user_pref("key", value);. The file is never parsed as a
// whole: the scans below find candidate lines by their text, and only a line
// that is one complete user_pref call counts. Anything else (comments, a call
// split over lines, two calls on one line) is never matched, so it is copied
// as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::thunderbird {

// The lines of prefs.js, each with its own line end (see
// SplitLinesKeepingEnds), cut from one text in order.
using PrefsLines = std::vector<std::string_view>;

inline constexpr std::string_view kAccountKey = "mail.account.account";
inline constexpr std::string_view kIdentityKey = "mail.identity.id";
inline constexpr std::string_view kServerKey = "mail.server.server";
inline constexpr std::string_view kSmtpServerKey = "mail.smtpserver.smtp";
inline constexpr std::string_view kAccountListKey = "mail.accountmanager.accounts";
inline constexpr std::string_view kSmtpListKey = "mail.smtpservers";
inline constexpr std::string_view kDefaultSmtpKey = "mail.smtp.defaultserver";
inline constexpr std::string_view kDefaultAccountKey = "mail.accountmanager.defaultaccount";

// The text as the body of a JavaScript string literal: a backslash or double
// quote is escaped, so it can neither end the value early nor add a
// preference of its own.
[[nodiscard]] std::string EscapeJsString(std::string_view text);
// The text a JavaScript string literal's body stands for, as UTF-8: \n, \t
// and the other one-letter escapes, \xHH and \uXXXX (a surrogate pair as one
// character), and a backslash before any other character for that character.
// None when an \x or \u escape is incomplete or a surrogate stands alone.
[[nodiscard]] std::optional<std::string> UnescapeJsString(std::string_view body);
// user_pref("key", "text"); with the text escaped.
[[nodiscard]] std::string TextPref(std::string_view key, std::string_view text);
// user_pref("key", value); with the value written as it is (numbers, true).
[[nodiscard]] std::string BarePref(std::string_view key, std::string_view value);
[[nodiscard]] std::string BarePref(std::string_view key, int value);

// The number formed by the leading decimal digits after an optional sign; 0
// when there are none. Numbers too large for an int are capped.
[[nodiscard]] int IntegerValue(std::string_view text);

// One preference line read as a call: user_pref("key", value); with any
// blanks and tabs between the tokens and around the call.
struct Pref {
  std::string_view key;    // between the quotes, as written
  std::string_view value;  // a text's body between its quotes, or the bare value
  bool is_text = false;    // the value is a quoted text
};
// The call on `line` (whose line end is ignored); none unless the line is
// exactly one complete user_pref call.
[[nodiscard]] std::optional<Pref> ParsePref(std::string_view line);
// The body of the line's text value; empty when the line is no call or its
// value is not a text.
[[nodiscard]] std::string_view TextValueOf(std::string_view line);

// Where an identity with the address was found.
struct IdentityMatch {
  std::string designation;  // the text after mail.identity.id, lower-cased ("3")
};

// The scans the configurator runs over the lines of prefs.js. The lines must
// be cut from one text in order, as SplitLines cuts them: each scan searches
// that text as a whole and maps what it finds back to its line, which keeps a
// profile of half a million lines fast.
class PrefsScanner {
 public:
  explicit PrefsScanner(const PrefsLines& lines);

  // True when no line names an account with a number that is not negative.
  [[nodiscard]] bool HasNoAccounts() const;
  // One above the highest number of each kind of key; 1 when there is none.
  [[nodiscard]] int NextAccountNumber() const { return Next(Numbers().account); }
  [[nodiscard]] int NextIdentityNumber() const { return Next(Numbers().identity); }
  [[nodiscard]] int NextServerNumber() const { return Next(Numbers().server); }
  [[nodiscard]] int NextSmtpServerNumber() const { return Next(Numbers().smtp); }
  // True for identity 1, or when an identity files its drafts or sent mail in
  // Local Folders.
  [[nodiscard]] bool UsesLocalFolders(int identity_number) const;
  // The first identity whose address is `address`, regardless of letter case.
  [[nodiscard]] std::optional<IdentityMatch> FindIdentity(std::string_view address) const;
  // Index of the first line from `from` on that sets the preference `key`.
  [[nodiscard]] std::optional<std::size_t> FindPref(std::string_view key,
                                                    std::size_t from = 0) const;
  // Index of the first line that sets a preference whose key starts with
  // `prefix`.
  [[nodiscard]] std::optional<std::size_t> FindPrefStartingWith(std::string_view prefix) const;

 private:
  // The highest number of each kind of key, gathered in one pass.
  struct HighestNumbers {
    std::optional<int> account, identity, server, smtp;
    bool any_account = false;  // an account number that is not negative
  };
  [[nodiscard]] const HighestNumbers& Numbers() const;
  [[nodiscard]] static int Next(const std::optional<int>& highest) {
    return highest ? *highest + 1 : 1;
  }
  // Where `text` next occurs at or after `from` in the whole text.
  [[nodiscard]] const char* Search(std::string_view text, const char* from) const;
  // The index of the line that holds `at`.
  [[nodiscard]] std::size_t LineOf(const char* at) const;
  // Calls `found(line index, preference)` for each line from `from` on that
  // contains `text` and is one complete call, until `found` returns true.
  template <typename Found>
  void ForEachPrefContaining(std::string_view text, std::size_t from, Found found) const;

  const PrefsLines& lines_;
  const char* begin_ = nullptr;  // the text the lines were cut from
  const char* end_ = nullptr;
  mutable std::optional<HighestNumbers> numbers_;
};

}  // namespace quillbank::thunderbird
