// Reading and writing single lines of Thunderbird's prefs.js, which holds one
// preference per line: user_pref("key", value);. The file is never parsed as a
// whole: the scans below find candidate lines by their text, and only a line
// that is one complete user_pref call counts. Anything else (comments, a call
// split over lines, two calls on one line) is never matched, so it is copied
// as it is.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/text_file.h"

namespace quillbank::thunderbird {

// The lines of prefs.js as SplitLinesKeepingEnds cuts them, each with its own
// line end, as views of the text, which must outlive them. A prefs.js can hold
// half a million lines: rather than a view of every line (8 MB beside the
// file's 36), only every 128th line's start is kept, and the line read last is
// remembered, so that reading lines in order, by index or by iterator, cuts
// each line once. That memory makes reading (though nothing else) not safe
// from two threads at once.
class PrefsLines {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string_view*;
    using reference = std::string_view;

    Iterator(const PrefsLines& lines, std::size_t start) : lines_(&lines), start_(start) {}
    std::string_view operator*() const { return lines_->cutter_.LineAt(start_); }
    Iterator& operator++() {
      start_ += (**this).size();
      return *this;
    }
    bool operator==(const Iterator& other) const { return start_ == other.start_; }
    bool operator!=(const Iterator& other) const { return start_ != other.start_; }

   private:
    const PrefsLines* lines_;
    std::size_t start_;
  };

  PrefsLines() : PrefsLines(std::string_view()) {}
  explicit PrefsLines(std::string_view text);

  [[nodiscard]] std::size_t size() const { return count_; }
  [[nodiscard]] bool empty() const { return count_ == 0; }
  [[nodiscard]] std::string_view operator[](std::size_t index) const;
  [[nodiscard]] Iterator begin() const { return Iterator(*this, 0); }
  [[nodiscard]] Iterator end() const { return Iterator(*this, text_.size()); }
  // The whole text the lines were cut from.
  [[nodiscard]] std::string_view Text() const { return text_; }
  // The index of the line that holds `at`, a character of the text.
  [[nodiscard]] std::size_t LineOf(const char* at) const;

 private:
  static constexpr std::size_t kStride = 128;
  // Moves the remembered line forward to `index`, from where it is when that
  // is at most a stride back, else from the nearest kept start before.
  void MoveTo(std::size_t index) const;

  std::string_view text_;
  std::vector<std::size_t> starts_;  // of lines 0, kStride, 2 * kStride, ...
  std::size_t count_ = 0;
  mutable LineCutter cutter_;
  mutable std::size_t at_index_ = 0;  // the line read last
  mutable std::size_t at_start_ = 0;
};

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

// The scans the configurator runs over the lines of prefs.js: each searches
// the text as a whole and maps what it finds back to its line, which keeps a
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
