#include "clients/files/thunderbird_prefs.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillbank::thunderbird {
namespace {

// The number that follows the first occurrence of `key` in the line, read up
// to the next "." as prefs.js numbers its accounts, identities and servers.
std::optional<int> NumberAfterKey(std::string_view line, std::string_view key) {
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(at + key.size());
  return IntegerValue(rest.substr(0, rest.find('.')));
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  return lower;
}

}  // namespace

std::string EscapeJsString(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string TextPref(std::string_view key, std::string_view text) {
  std::string line = "user_pref(\"";
  line.append(key).append("\", \"").append(EscapeJsString(text)).append("\");");
  return line;
}

std::string BarePref(std::string_view key, std::string_view value) {
  std::string line = "user_pref(\"";
  line.append(key).append("\", ").append(value).append(");");
  return line;
}

std::string BarePref(std::string_view key, int value) {
  return BarePref(key, std::to_string(value));
}

int IntegerValue(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX - 1);
  }
  return static_cast<int>(negative ? -value : value);
}

std::string_view TextValueOf(std::string_view line, std::string_view key) {
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t open = at + key.size();
  if (line.compare(open, 4, "\", \"") != 0) return {};
  const std::size_t start = open + 4;
  std::size_t end = line.find("\");", start);
  if (end == std::string_view::npos) end = line.find('"', start);
  if (end == std::string_view::npos) return {};
  return line.substr(start, end - start);
}

PrefsScanner::PrefsScanner(const PrefsLines& lines) : lines_(lines) {
  if (!lines.empty()) {
    begin_ = lines.front().data();
    end_ = lines.back().data() + lines.back().size();
  }
}

const char* PrefsScanner::Search(std::string_view text, const char* from) const {
  if (from == nullptr || from >= end_ || text.empty()) return nullptr;
  // find looks for the first character with memchr, which is fast on the
  // short keys searched here.
  const std::string_view rest(from, static_cast<std::size_t>(end_ - from));
  const std::size_t at = rest.find(text);
  return at == std::string_view::npos ? nullptr : from + at;
}

std::size_t PrefsScanner::LineOf(const char* at) const {
  // The last line that starts at or before `at`.
  const auto after = std::upper_bound(
      lines_.begin(), lines_.end(), at,
      [](const char* p, const std::string_view& line) { return p < line.data(); });
  return static_cast<std::size_t>(after - lines_.begin()) - 1;
}

template <typename Found>
void PrefsScanner::ForEachLineContaining(std::string_view key, Found found) const {
  for (const char* at = Search(key, begin_); at != nullptr;) {
    const std::size_t index = LineOf(at);
    const std::string_view line = lines_[index];
    found(index, static_cast<std::size_t>(at - line.data()));
    at = Search(key, line.data() + line.size());
  }
}

const PrefsScanner::HighestNumbers& PrefsScanner::Numbers() const {
  if (numbers_) return *numbers_;
  HighestNumbers numbers;
  auto raise = [](std::optional<int>& highest, const std::optional<int>& number) {
    if (number && (!highest || *number > *highest)) highest = number;
  };
  // Every key counted here begins with "mail.".
  ForEachLineContaining("mail.", [&](std::size_t index, std::size_t at) {
    const std::string_view line = lines_[index].substr(at);
    const std::optional<int> account = NumberAfterKey(line, kAccountKey);
    raise(numbers.account, account);
    if (account && *account >= 0) numbers.any_account = true;
    raise(numbers.identity, NumberAfterKey(line, kIdentityKey));
    raise(numbers.server, NumberAfterKey(line, kServerKey));
    raise(numbers.smtp, NumberAfterKey(line, kSmtpServerKey));
  });
  numbers_ = numbers;
  return *numbers_;
}

bool PrefsScanner::HasNoAccounts() const { return !Numbers().any_account; }

bool PrefsScanner::UsesLocalFolders(int identity_number) const {
  if (identity_number == 1) return true;
  bool local = false;
  ForEachLineContaining("@Local%20Folders", [&](std::size_t index, std::size_t) {
    const std::string_view line = lines_[index];
    if (line.find(".fcc_folder\", \"mailbox://nobody@Local%20Folders") != std::string_view::npos ||
        line.find(".draft_folder\", \"mailbox://nobody@Local%20Folders") != std::string_view::npos) {
      local = true;
    }
  });
  return local;
}

std::optional<IdentityMatch> PrefsScanner::FindIdentity(std::string_view address) const {
  const std::string wanted = ".useremail\", \"" + Lower(address) + "\"";
  // The whole text is searched without regard to case, anchored on a
  // character that has no case ("@" where the address has one, else the
  // closing quote), which memchr finds quickly.
  std::size_t anchor = wanted.find('@', 14);
  if (anchor == std::string::npos) anchor = wanted.size() - 1;
  const char anchor_char = wanted[anchor];
  auto matches_at = [&](const char* start) {
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      if (LowerAscii(start[k]) != wanted[k]) return false;
    }
    return true;
  };
  const char* from = begin_ == nullptr ? nullptr : begin_ + anchor;
  while (from != nullptr && from < end_) {
    const char* hit = static_cast<const char*>(
        std::memchr(from, anchor_char, static_cast<std::size_t>(end_ - from)));
    if (hit == nullptr) break;
    from = hit + 1;
    const char* start = hit - anchor;
    if (static_cast<std::size_t>(end_ - start) < wanted.size() || !matches_at(start)) continue;
    const std::string_view line = lines_[LineOf(start)];
    from = line.data() + line.size() + anchor;
    const std::string lower = Lower(line);
    const std::size_t match = lower.find(wanted);
    if (match == std::string::npos) continue;
    // Only an identity's address counts: the designation between the key and
    // the match must not be empty.
    const std::size_t key = lower.find(kIdentityKey);
    if (key == std::string::npos || key + kIdentityKey.size() >= match) continue;
    const std::size_t designation = key + kIdentityKey.size();
    return IdentityMatch{lower.substr(designation, match - designation)};
  }
  return std::nullopt;
}

std::optional<std::size_t> PrefsScanner::FindLine(std::string_view text, std::size_t from) const {
  if (from >= lines_.size()) return std::nullopt;
  const char* at = Search(text, lines_[from].data());
  if (at == nullptr) return std::nullopt;
  return LineOf(at);
}

}  // namespace quillbank::thunderbird
