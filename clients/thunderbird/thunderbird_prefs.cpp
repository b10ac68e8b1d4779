#include "clients/thunderbird/thunderbird_prefs.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/ascii_text.h"
#include "env/text_file.h"

namespace quillbank::thunderbird {
namespace {

// The number in a key that starts with `prefix`, read up to the next "." as
// prefs.js numbers its accounts, identities and servers.
std::optional<int> NumberAfterPrefix(std::string_view key, std::string_view prefix) {
  if (!StartsWith(key, prefix)) return std::nullopt;
  const std::string_view rest = key.substr(prefix.size());
  return IntegerValue(rest.substr(0, rest.find('.')));
}

// Reads one call's tokens from the front of a line.
class PrefReader {
 public:
  explicit PrefReader(std::string_view line) : rest_(line) {}

  void SkipBlanks() {
    while (!rest_.empty() && (rest_.front() == ' ' || rest_.front() == '\t')) rest_.remove_prefix(1);
  }
  bool Take(std::string_view token) {
    SkipBlanks();
    if (!StartsWith(rest_, token)) return false;
    rest_.remove_prefix(token.size());
    return true;
  }
  // A double-quoted text; its body, escapes as written.
  std::optional<std::string_view> Text() {
    SkipBlanks();
    if (rest_.empty() || rest_.front() != '"') return std::nullopt;
    for (std::size_t i = 1; i < rest_.size(); ++i) {
      if (rest_[i] == '\\') {
        ++i;
      } else if (rest_[i] == '"') {
        const std::string_view body = rest_.substr(1, i - 1);
        rest_.remove_prefix(i + 1);
        return body;
      }
    }
    return std::nullopt;
  }
  // A number, true, false and the like: letters, digits, "+", "-" and ".".
  std::optional<std::string_view> Bare() {
    SkipBlanks();
    std::size_t end = 0;
    while (end < rest_.size() && IsBareCharacter(rest_[end])) ++end;
    if (end == 0) return std::nullopt;
    const std::string_view value = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return value;
  }
  bool AtEnd() {
    SkipBlanks();
    return rest_.empty();
  }

 private:
  static bool IsBareCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' ||
           c == '-' || c == '.';
  }
  std::string_view rest_;
};

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

namespace {

std::optional<unsigned> HexValue(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  unsigned value = 0;
  for (const char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsHighSurrogate(unsigned code) { return code >= 0xD800 && code <= 0xDBFF; }
bool IsLowSurrogate(unsigned code) { return code >= 0xDC00 && code <= 0xDFFF; }

char OneLetterEscape(char c) {
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'v': return '\v';
    case '0': return '\0';
    default: return c;
  }
}

}  // namespace

std::optional<std::string> UnescapeJsString(std::string_view body) {
  std::string text;
  text.reserve(body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\') {
      text += body[i];
      continue;
    }
    if (++i == body.size()) return std::nullopt;
    const char kind = body[i];
    if (kind != 'x' && kind != 'u') {
      text += OneLetterEscape(kind);
      continue;
    }
    const std::size_t digits = kind == 'x' ? 2 : 4;
    std::optional<unsigned> code = HexValue(body.substr(i + 1, digits));
    if (!code || body.substr(i + 1, digits).size() != digits) return std::nullopt;
    i += digits;
    if (IsLowSurrogate(*code)) return std::nullopt;
    if (IsHighSurrogate(*code)) {
      // The low half must follow as an escape of its own.
      if (body.substr(i + 1, 2) != "\\u") return std::nullopt;
      const std::optional<unsigned> low = HexValue(body.substr(i + 3, 4));
      if (!low || body.substr(i + 3, 4).size() != 4 || !IsLowSurrogate(*low)) return std::nullopt;
      code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
      i += 6;
    }
    AppendUtf8(text, *code);
  }
  return text;
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

std::optional<Pref> ParsePref(std::string_view line) {
  PrefReader read(WithoutLineEnd(line));
  Pref pref;
  if (!read.Take("user_pref") || !read.Take("(")) return std::nullopt;
  const std::optional<std::string_view> key = read.Text();
  if (!key || !read.Take(",")) return std::nullopt;
  pref.key = *key;
  std::optional<std::string_view> value = read.Text();
  pref.is_text = value.has_value();
  if (!value) value = read.Bare();
  if (!value || !read.Take(")") || !read.Take(";") || !read.AtEnd()) return std::nullopt;
  pref.value = *value;
  return pref;
}

std::string_view TextValueOf(std::string_view line) {
  const std::optional<Pref> pref = ParsePref(line);
  return pref && pref->is_text ? pref->value : std::string_view();
}

PrefsLines::PrefsLines(std::string_view text) : text_(text), cutter_(text) {
  for (std::size_t start = 0; start < text_.size(); ++count_) {
    if (count_ % kStride == 0) starts_.push_back(start);
    start += cutter_.LineAt(start).size();
  }
}

void PrefsLines::MoveTo(std::size_t index) const {
  if (index < at_index_ || index - at_index_ > kStride) {
    at_index_ = index - index % kStride;
    at_start_ = starts_[index / kStride];
  }
  for (; at_index_ < index; ++at_index_) at_start_ += cutter_.LineAt(at_start_).size();
}

std::string_view PrefsLines::operator[](std::size_t index) const {
  MoveTo(index);
  return cutter_.LineAt(at_start_);
}

std::size_t PrefsLines::LineOf(const char* at) const {
  const auto offset = static_cast<std::size_t>(at - text_.data());
  // The last kept start at or before `at`, then line by line.
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  std::size_t index = static_cast<std::size_t>(after - starts_.begin() - 1) * kStride;
  std::size_t start = *(after - 1);
  for (;;) {
    const std::size_t length = cutter_.LineAt(start).size();
    if (start + length > offset) break;
    start += length;
    ++index;
  }
  at_index_ = index;
  at_start_ = start;
  return index;
}

PrefsScanner::PrefsScanner(const PrefsLines& lines) : lines_(lines) {
  if (!lines.empty()) {
    begin_ = lines.Text().data();
    end_ = begin_ + lines.Text().size();
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

template <typename Found>
void PrefsScanner::ForEachPrefContaining(std::string_view text, std::size_t from,
                                         Found found) const {
  if (from >= lines_.size()) return;
  for (const char* at = Search(text, lines_[from].data()); at != nullptr;) {
    const std::size_t index = lines_.LineOf(at);
    const std::string_view line = lines_[index];
    if (const std::optional<Pref> pref = ParsePref(line)) {
      if (found(index, *pref)) return;
    }
    at = Search(text, line.data() + line.size());
  }
}

const PrefsScanner::HighestNumbers& PrefsScanner::Numbers() const {
  if (numbers_) return *numbers_;
  HighestNumbers numbers;
  auto raise = [](std::optional<int>& highest, const std::optional<int>& number) {
    if (number && (!highest || *number > *highest)) highest = number;
  };
  // Every key counted here begins with "mail.".
  ForEachPrefContaining("mail.", 0, [&](std::size_t, const Pref& pref) {
    const std::optional<int> account = NumberAfterPrefix(pref.key, kAccountKey);
    raise(numbers.account, account);
    if (account && *account >= 0) numbers.any_account = true;
    raise(numbers.identity, NumberAfterPrefix(pref.key, kIdentityKey));
    raise(numbers.server, NumberAfterPrefix(pref.key, kServerKey));
    raise(numbers.smtp, NumberAfterPrefix(pref.key, kSmtpServerKey));
    return false;
  });
  numbers_ = numbers;
  return *numbers_;
}

bool PrefsScanner::HasNoAccounts() const { return !Numbers().any_account; }

bool PrefsScanner::UsesLocalFolders(int identity_number) const {
  if (identity_number == 1) return true;
  bool local = false;
  ForEachPrefContaining("@Local%20Folders", 0, [&](std::size_t, const Pref& pref) {
    local = (EndsWith(pref.key, ".fcc_folder") || EndsWith(pref.key, ".draft_folder")) &&
            pref.is_text && StartsWith(pref.value, "mailbox://nobody@Local%20Folders");
    return local;
  });
  return local;
}

std::optional<IdentityMatch> PrefsScanner::FindIdentity(std::string_view address) const {
  const std::string wanted = "\"" + AsciiLower(address) + "\"";
  // The whole text is searched for the quoted address without regard to
  // case, anchored on a character that has no case ("@" where the address
  // has one, else the closing quote), which memchr finds quickly.
  std::size_t anchor = wanted.find('@');
  if (anchor == std::string::npos) anchor = wanted.size() - 1;
  const char anchor_char = wanted[anchor];
  auto matches_at = [&](const char* start) {
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      if (AsciiLower(start[k]) != wanted[k]) return false;
    }
    return true;
  };
  const char* from = begin_ == nullptr ? nullptr : begin_ + anchor;
  while (from != nullptr && from < end_) {
    const char* hit = static_cast<const char*>(
        std::memchr(from, anchor_char, static_cast<std::size_t>(end_ - from)));
    if (hit == nullptr) break;
    from = hit + 1;
    if (static_cast<std::size_t>(hit - begin_) < anchor) continue;
    const char* start = hit - anchor;
    if (static_cast<std::size_t>(end_ - start) < wanted.size() || !matches_at(start)) continue;
    const std::string_view line = lines_[lines_.LineOf(start)];
    from = line.data() + line.size() + anchor;
    // Only an identity's address counts: mail.identity.id<designation>.useremail
    // with a designation that is not empty.
    const std::optional<Pref> pref = ParsePref(line);
    if (!pref || !pref->is_text || !EqualsIgnoringCase(pref->value, address)) continue;
    constexpr std::string_view kAddressKeyEnd = ".useremail";
    if (!StartsWith(pref->key, kIdentityKey) || !EndsWith(pref->key, kAddressKeyEnd) ||
        pref->key.size() <= kIdentityKey.size() + kAddressKeyEnd.size()) {
      continue;
    }
    const std::string_view designation = pref->key.substr(
        kIdentityKey.size(), pref->key.size() - kIdentityKey.size() - kAddressKeyEnd.size());
    return IdentityMatch{AsciiLower(designation)};
  }
  return std::nullopt;
}

std::optional<std::size_t> PrefsScanner::FindPref(std::string_view key, std::size_t from) const {
  std::optional<std::size_t> found;
  ForEachPrefContaining("\"" + std::string(key) + "\"", from,
                        [&](std::size_t index, const Pref& pref) {
                          if (pref.key == key) found = index;
                          return found.has_value();
                        });
  return found;
}

std::optional<std::size_t> PrefsScanner::FindPrefStartingWith(std::string_view prefix) const {
  std::optional<std::size_t> found;
  ForEachPrefContaining("\"" + std::string(prefix), 0, [&](std::size_t index, const Pref& pref) {
    if (StartsWith(pref.key, prefix)) found = index;
    return found.has_value();
  });
  return found;
}

}  // namespace quillbank::thunderbird
