#include "clients/files/thunderbird_prefs.h"

#include <algorithm>
#include <climits>

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

bool PrefsScanner::HasNoAccounts() const {
  for (const std::string_view line : lines_) {
    const std::optional<int> number = NumberAfterKey(line, kAccountKey);
    if (number && *number >= 0) return false;
  }
  return true;
}

int PrefsScanner::NextNumber(std::string_view key) const {
  std::optional<int> highest;
  for (const std::string_view line : lines_) {
    const std::optional<int> number = NumberAfterKey(line, key);
    if (number && (!highest || *number > *highest)) highest = number;
  }
  return highest ? *highest + 1 : 1;
}

bool PrefsScanner::UsesLocalFolders(int identity_number) const {
  if (identity_number == 1) return true;
  for (const std::string_view line : lines_) {
    if (line.find(".fcc_folder\", \"mailbox://nobody@Local%20Folders") != std::string_view::npos ||
        line.find(".draft_folder\", \"mailbox://nobody@Local%20Folders") != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

std::optional<IdentityMatch> PrefsScanner::FindIdentity(std::string_view address) const {
  const std::string wanted = ".useremail\", \"" + Lower(address) + "\"";
  std::string lower;  // reused for every line
  for (const std::string_view line : lines_) {
    lower.assign(line);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    const std::size_t match = lower.find(wanted);
    if (match == std::string::npos) continue;
    // Only an identity's address counts: the designation between the key and
    // the match must not be empty.
    const std::size_t key = lower.find(kIdentityKey);
    if (key == std::string::npos || key + kIdentityKey.size() >= match) continue;
    const std::size_t start = key + kIdentityKey.size();
    return IdentityMatch{lower.substr(start, match - start)};
  }
  return std::nullopt;
}

std::optional<std::size_t> PrefsScanner::FindLine(std::string_view text, std::size_t from) const {
  for (std::size_t i = from; i < lines_.size(); ++i) {
    if (lines_[i].find(text) != std::string_view::npos) return i;
  }
  return std::nullopt;
}

}  // namespace quillbank::thunderbird
