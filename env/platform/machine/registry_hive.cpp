#include "env/platform/machine/registry_hive.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>
#include <utility>

#include "core/ascii_text.h"

namespace quillbank {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

// How Wine writes a value's data after the "=": REG_SZ as a quoted text,
// REG_DWORD after "dword:", REG_BINARY after "hex:", other text types as
// "str(<type>):" and a quoted text, and any other type as "hex(<type>):" and
// its bytes, the type number in hexadecimal.
constexpr std::string_view kDwordForm = "dword:";
constexpr std::string_view kBinaryForm = "hex:";
constexpr std::string_view kTypedTextForm = "str(";
constexpr std::string_view kTypedHexForm = "hex(";
constexpr std::string_view kTypedFormEnd = "):";

// "str(2):" or "hex(7):": a typed form's prefix for `type`.
std::string TypedForm(std::string_view form, std::uint32_t type) {
  char number[16];
  std::snprintf(number, sizeof number, "%x", static_cast<unsigned>(type));
  return std::string(form) + number + std::string(kTypedFormEnd);
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

// Appends the UTF-8 sequence starting at `pos` as UTF-16; a byte that starts
// no valid sequence stands for itself.
void AppendUtf8(const std::string& line, std::size_t& pos, std::u16string& out) {
  const auto lead = static_cast<unsigned char>(line[pos]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > 1 && pos + length <= line.size()) {
    if (const auto wide = Utf8ToUtf16(std::string_view(line).substr(pos, length))) {
      out += *wide;
      pos += length;
      return;
    }
  }
  out.push_back(lead);
  ++pos;
}

// Reads a quoted or bracketed text with Wine's escapes, starting after the
// opening character, up to the unescaped `close`. `pos` ends after `close`.
bool ReadEscaped(const std::string& line, std::size_t& pos, char close, std::u16string& out) {
  while (pos < line.size()) {
    const char c = line[pos];
    if (c == close) {
      ++pos;
      return true;
    }
    if (c != '\\') {
      AppendUtf8(line, pos, out);
      continue;
    }
    if (++pos >= line.size()) return false;
    const char e = line[pos++];
    switch (e) {
      case 'a': out.push_back(u'\a'); break;
      case 'b': out.push_back(u'\b'); break;
      case 'e': out.push_back(u'\x1b'); break;
      case 'f': out.push_back(u'\f'); break;
      case 'n': out.push_back(u'\n'); break;
      case 'r': out.push_back(u'\r'); break;
      case 't': out.push_back(u'\t'); break;
      case 'v': out.push_back(u'\v'); break;
      case 'x': {
        unsigned value = 0;
        for (int digits = 0; digits < 4 && pos < line.size() && IsHex(line[pos]); ++digits) {
          value = value * 16 + HexDigit(line[pos++]);
        }
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = static_cast<unsigned>(e - '0');
          for (int digits = 1; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
               ++digits) {
            value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
          }
          out.push_back(static_cast<char16_t>(value));
        } else {
          out.push_back(static_cast<unsigned char>(e));
        }
        break;
    }
  }
  return false;
}

std::string Escape(std::u16string_view text, bool key_name) {
  std::string out;
  for (const char16_t c : text) {
    if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'"' && !key_name) {
      out += "\\\"";
    } else if (c == u']' && key_name) {
      out += "\\]";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c == 0) {
      out += "\\0";
    } else if (c < 0x20 || c > 0x7E) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%04x", static_cast<unsigned>(c));
      out += buffer;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::vector<std::uint8_t> ParseHexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && !IsHex(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && IsHex(text[end])) ++end;
    if (end > pos) {
      bytes.push_back(static_cast<std::uint8_t>(std::strtoul(text.substr(pos, end - pos).c_str(), nullptr, 16)));
    }
    pos = end;
  }
  return bytes;
}

// The text of a REG_SZ or REG_EXPAND_SZ value that Wine's str form can hold:
// one NUL-terminated UTF-16 string.
std::optional<std::u16string> StringForm(const RegValue& value) {
  if (value.type != reg_type::kSz && value.type != reg_type::kExpandSz) return std::nullopt;
  const auto& data = value.data;
  if (data.size() < 2 || data.size() % 2 || data[data.size() - 1] || data[data.size() - 2]) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t i = 0; i + 2 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (unit == 0) return std::nullopt;
    text.push_back(unit);
  }
  return text;
}

std::string RenderHex(const std::string& prefix, const std::vector<std::uint8_t>& bytes) {
  std::string out = prefix;
  std::size_t column = prefix.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
    out += buffer;
    column += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

std::string RenderDword(const std::vector<std::uint8_t>& data) {
  char digits[16];
  const unsigned number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
  std::snprintf(digits, sizeof digits, "%08x", number);
  return std::string(kDwordForm) + digits;
}

// A value line as Wine would write it. Hex data wraps where Wine wraps it,
// counting the columns from the line's start.
std::string RenderValue(const std::u16string& name, const RegValue& value) {
  const std::string lead = name.empty() ? "@=" : "\"" + Escape(name, false) + "\"=";
  if (const auto text = StringForm(value)) {
    const std::string form = value.type == reg_type::kSz ? "" : TypedForm(kTypedTextForm, value.type);
    return lead + form + "\"" + Escape(*text, false) + "\"\n";
  }
  if (value.type == reg_type::kDword && value.data.size() == 4) return lead + RenderDword(value.data) + "\n";
  const std::string form = value.type == reg_type::kBinary ? std::string(kBinaryForm)
                                                           : TypedForm(kTypedHexForm, value.type);
  return RenderHex(lead + form, value.data) + "\n";
}

bool SameValue(const RegValue& a, const RegValue& b) { return a.type == b.type && a.data == b.data; }

bool SameValues(const std::vector<std::pair<std::u16string, RegValue>>& a,
                const std::vector<std::pair<std::u16string, RegValue>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].first != b[i].first || !SameValue(a[i].second, b[i].second)) return false;
  }
  return true;
}

// A quoted text with Wine's escapes from `start` (the opening quote) on, as
// a value of `type`.
bool ParseQuotedText(const std::string& data, std::size_t start, std::uint32_t type, RegValue& value) {
  std::size_t pos = start + 1;
  std::u16string wide;
  if (!ReadEscaped(data, pos, '"', wide)) return false;
  value = {type, Utf16LeBytes(wide)};
  return true;
}

// The type number of a typed form ("str(2):", "hex(7):"), which ends at `end`.
std::uint32_t TypeNumber(const std::string& data, std::string_view form, std::size_t end) {
  const std::size_t start = form.size();
  return static_cast<std::uint32_t>(std::strtoul(data.substr(start, end - start).c_str(), nullptr, 16));
}

bool ParseTypedText(const std::string& data, RegValue& value) {
  const std::size_t end = data.find(std::string(kTypedFormEnd) + "\"");
  if (end == std::string::npos) return false;
  return ParseQuotedText(data, end + kTypedFormEnd.size(), TypeNumber(data, kTypedTextForm, end), value);
}

void ParseDword(const std::string& digits, RegValue& value) {
  const unsigned long number = std::strtoul(digits.c_str(), nullptr, 16);
  value = {reg_type::kDword,
           {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

bool ParseTypedHex(const std::string& data, RegValue& value) {
  const std::size_t end = data.find(kTypedFormEnd);
  if (end == std::string::npos) return false;
  value = {TypeNumber(data, kTypedHexForm, end), ParseHexBytes(data.substr(end + kTypedFormEnd.size()))};
  return true;
}

// Parses the data after "=" of a value line; false for a form this program
// does not know (the line is then kept as it stands).
bool ParseValueData(const std::string& data, RegValue& value) {
  if (StartsWith(data, "\"")) return ParseQuotedText(data, 0, reg_type::kSz, value);
  if (StartsWith(data, kTypedTextForm)) return ParseTypedText(data, value);
  if (StartsWith(data, kDwordForm)) {
    ParseDword(data.substr(kDwordForm.size()), value);
    return true;
  }
  if (StartsWith(data, kBinaryForm)) {
    value = {reg_type::kBinary, ParseHexBytes(data.substr(kBinaryForm.size()))};
    return true;
  }
  if (StartsWith(data, kTypedHexForm)) return ParseTypedHex(data, value);
  return false;
}

// Parses a value line (continuations joined): "@" or a quoted name, "=" and
// the data; false when it is none.
bool ParseValueLine(const std::string& line, std::u16string& name, RegValue& value) {
  std::size_t pos = 1;
  name.clear();
  if (StartsWith(line, "\"")) {
    if (!ReadEscaped(line, pos, '"', name)) return false;
  } else if (!StartsWith(line, "@")) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  return ParseValueData(line.substr(pos + 1), value);
}

// A line of the file with its line end. Hex data continued with a final
// backslash stays one line: `raw` holds all its lines as read, `joined` the
// data as one line without the breaks and the indentation.
struct RawLine {
  std::string raw;
  std::string joined;
};

bool ContinuesOnNextLine(const RawLine& line) {
  return !line.joined.empty() && line.joined.back() == '\\' &&
         line.joined.find("=hex") != std::string::npos;
}

void AppendContinuation(RawLine& line, std::string raw, std::string text) {
  line.joined.pop_back();  // the backslash
  text.erase(0, text.find_first_not_of(' '));
  line.joined += text;
  line.raw += raw;
}

std::vector<RawLine> SplitLines(const std::string& text) {
  std::vector<RawLine> lines;
  bool continued = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string raw = text.substr(start, end - start);
    std::string line = raw;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (continued) {
      AppendContinuation(lines.back(), std::move(raw), std::move(line));
    } else {
      lines.push_back({std::move(raw), std::move(line)});
    }
    continued = ContinuesOnNextLine(lines.back());
    start = end;
  }
  return lines;
}

bool IsKeyLine(const RawLine& line) { return StartsWith(line.joined, "["); }

// The path of a key line ("[Software\\Wine] 1700000000"), split, and where
// its bracketed part ends; false when the closing bracket is missing.
bool ParseKeyLine(const std::string& line, std::vector<std::u16string>& parts, std::size_t& end) {
  end = 1;
  std::u16string path;
  if (!ReadEscaped(line, end, ']', path)) return false;
  parts = SplitKeyPath(path);
  return true;
}

// Wine's "#time=" value: 100 ns intervals since 1601, in hexadecimal.
std::string TimeLine(long long stamp) {
  const unsigned long long ticks = (static_cast<unsigned long long>(stamp) + 11644473600ULL) * 10000000ULL;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "#time=%llx\n", ticks);
  return buffer;
}

std::u16string UpperPath(const std::vector<std::u16string>& parts) {
  std::u16string path;
  for (const std::u16string& part : parts) {
    if (!path.empty()) path += u'\\';
    path += UpcaseName(part);
  }
  return path;
}

// A key name as Wine orders the keys it writes: without regard to case, as
// lower-case letters (so "_" comes before "A"). Names the same by this are
// the same key name, as UpcaseName tells it.
std::u16string WineOrderName(std::u16string_view name) {
  std::u16string folded = UpcaseName(name);
  for (char16_t& unit : folded) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + (u'a' - u'A'));
  }
  return folded;
}

// A key line's path split into components, each as WineOrderName gives it;
// none when the line cannot be read or nests deeper than Windows allows.
std::optional<std::vector<std::u16string>> OrderedPath(std::string_view line) {
  std::vector<std::u16string> parts;
  std::size_t end = 0;
  if (!ParseKeyLine(std::string(line), parts, end) || parts.size() > kMaxKeyDepth) return std::nullopt;
  for (std::u16string& part : parts) part = WineOrderName(part);
  return parts;
}

// The path of a key line that holds printable ASCII only, with no escape
// but the "\\\\" between components and no empty component: what Wine writes
// for nearly every key. Its order can be told from the bytes.
std::optional<std::string_view> PlainPath(std::string_view line) {
  std::size_t depth = 1;
  for (std::size_t i = 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ']') {
      if (i == 1 || line[i - 1] == '\\' || depth > kMaxKeyDepth) return std::nullopt;
      return line.substr(1, i - 1);
    }
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    if (c != '\\') continue;
    // A separator: two backslashes, between two components.
    if (i == 1 || line[i - 1] == '\\' || i + 2 >= line.size() || line[i + 1] != '\\' ||
        line[i + 2] == '\\' || line[i + 2] == ']') {
      return std::nullopt;
    }
    ++i;
    ++depth;
  }
  return std::nullopt;
}

// -1, 0 or 1 as plain path `a` comes before, with or after `b` in Wine's
// order: component by component, each compared as lower-case letters.
int ComparePlainPaths(std::string_view a, std::string_view b) {
  // One unit a step: 0 for a separator, else the lower-cased character.
  auto unit = [](std::string_view path, std::size_t& i) -> int {
    if (path[i] == '\\') {
      i += 2;
      return 0;
    }
    return AsciiLower(path[i++]);
  };
  std::size_t i = 0, k = 0;
  while (i < a.size() && k < b.size()) {
    const int x = unit(a, i), y = unit(b, k);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  return k < b.size() ? -1 : 0;
}

// True when the key line `line` can be read and its path comes after that
// of `previous` (none before the first key line).
bool KeyLineFollows(std::string_view previous, std::string_view line) {
  const std::optional<std::string_view> plain = PlainPath(line);
  const std::optional<std::string_view> plain_previous =
      previous.empty() ? std::nullopt : PlainPath(previous);
  if (plain && (previous.empty() || plain_previous)) {
    return previous.empty() || ComparePlainPaths(*plain_previous, *plain) < 0;
  }
  const std::optional<std::vector<std::u16string>> path = OrderedPath(line);
  if (!path) return false;
  return previous.empty() || *OrderedPath(previous) < *path;
}

}  // namespace

long long KeyStampNow() { return static_cast<long long>(std::time(nullptr)); }

bool RegistryHive::Load(std::string text, RegistryNode& root, std::string& error) {
  if (!StartsWith(text, kHeader)) {
    error = "not a Wine registry file";
    return false;
  }
  text_ = std::move(text);
  header_.clear();
  blocks_.clear();
  records_.clear();
  key_lines_.clear();
  block_of_line_.clear();
  unread_.clear();
  on_demand_ = IndexKeyLines();
  if (!on_demand_) {
    bool loaded = false;
    LoadWhole(root, error, loaded);
    return loaded;
  }
  header_ = text_.substr(0, key_lines_.empty() ? text_.size() : key_lines_.front());
  block_of_line_.assign(key_lines_.size(), 0);
  NoteUnread(root, {0, static_cast<std::uint32_t>(key_lines_.size()), 0});
  return true;
}

void RegistryHive::LoadWhole(RegistryNode& root, std::string& error, bool& loaded) {
  const std::vector<RawLine> lines = SplitLines(text_);
  std::size_t i = 0;
  for (; i < lines.size() && !IsKeyLine(lines[i]); ++i) header_ += lines[i].raw;
  RegistryNode* key = nullptr;
  for (; i < lines.size(); ++i) {
    if (IsKeyLine(lines[i])) {
      key = ReadKeyLine(lines[i].raw, lines[i].joined, root, error);
      if (!key) return;
    } else {
      ReadEntryLine(lines[i].raw, lines[i].joined, *key);  // the header ends at a key line
    }
  }
  for (auto& [node, record] : records_) record.values = node->values;
  loaded = true;
}

// Notes where each key line starts, and whether the keys stand in tree
// order: every key line readable, none continued, each path (compared by
// components in the order of WineOrderName) after the one before. False sends the hive to
// LoadWhole, which also gives the reason a key line cannot be read. Lines are
// taken as SplitLines takes them, but without copying any but those that
// hex data continues.
bool RegistryHive::IndexKeyLines() {
  if (text_.size() > UINT32_MAX) return false;
  std::string_view previous;  // the last key line
  std::string continued;  // the hex data line read so far, while it goes on
  for (std::size_t start = 0; start < text_.size();) {
    std::size_t end = text_.find('\n', start);
    end = end == std::string::npos ? text_.size() : end + 1;
    std::string_view line(text_.data() + start, end - start);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (!continued.empty()) {
      continued.pop_back();  // the backslash
      line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
      continued += line;
      if (continued.back() != '\\') continued.clear();
    } else if (StartsWith(line, "[")) {
      if (line.back() == '\\' && line.find("=hex") != std::string_view::npos) return false;
      if (!KeyLineFollows(previous, line)) return false;
      previous = line;
      key_lines_.push_back(static_cast<std::uint32_t>(start));
    } else if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string_view::npos) {
      continued = line;
    }
    start = end;
  }
  return true;
}

std::string_view RegistryHive::KeyBlockText(std::uint32_t line) const {
  const std::size_t begin = key_lines_[line];
  const std::size_t end = line + 1 < key_lines_.size() ? key_lines_[line + 1] : text_.size();
  return std::string_view(text_).substr(begin, end - begin);
}

std::vector<std::u16string> RegistryHive::KeyPathAt(std::uint32_t line) const {
  std::string_view key = KeyBlockText(line);
  key = key.substr(0, key.find('\n'));
  while (!key.empty() && key.back() == '\r') key.remove_suffix(1);
  std::vector<std::u16string> parts;
  std::size_t end = 0;
  (void)ParseKeyLine(std::string(key), parts, end);  // IndexKeyLines read it once already
  return parts;
}

void RegistryHive::NoteUnread(RegistryNode& node, Unread unread) {
  node.loader = this;
  node.loader_slot = static_cast<std::uint32_t>(unread_.size());
  unread_.push_back(unread);
}

// The node's own key line, when it has one, comes first in its range; each
// subkey's lines follow as one run, found by a binary search on the name at
// the subkey's depth.
void RegistryHive::ReadNode(RegistryNode& node) {
  const Unread unread = unread_[node.loader_slot];
  std::uint32_t line = unread.begin;
  if (line < unread.end && KeyPathAt(line).size() == unread.depth) ReadOwnBlock(line++, node);
  while (line < unread.end) {
    const std::u16string name = KeyPathAt(line)[unread.depth];
    const std::u16string upper = UpcaseName(name);
    std::uint32_t low = line + 1, high = unread.end;
    while (low < high) {
      const std::uint32_t middle = low + (high - low) / 2;
      if (UpcaseName(KeyPathAt(middle)[unread.depth]) == upper) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    NoteUnread(node.AddSubkey(name), {line, low, unread.depth + 1});
    line = low;
  }
}

void RegistryHive::ReadOwnBlock(std::uint32_t line, RegistryNode& node) {
  const std::vector<RawLine> lines = SplitLines(std::string(KeyBlockText(line)));
  std::vector<std::u16string> parts;
  std::size_t end = 0;
  (void)ParseKeyLine(lines[0].joined, parts, end);
  records_[&node].blocks.push_back(blocks_.size());
  blocks_.push_back({&node, UpperPath(parts), lines[0].raw, lines[0].joined.substr(0, end), {}, line});
  block_of_line_[line] = static_cast<std::uint32_t>(blocks_.size());
  for (std::size_t i = 1; i < lines.size(); ++i) ReadEntryLine(lines[i].raw, lines[i].joined, node);
  records_[&node].values = node.values;
}

// Starts a block for the key the line names, creating the key (and the keys
// above it) in the tree; null, with the reason in `error`, for a line that is
// no key line or nests deeper than Windows allows.
RegistryNode* RegistryHive::ReadKeyLine(const std::string& raw, const std::string& line,
                                        RegistryNode& root, std::string& error) {
  std::vector<std::u16string> parts;
  std::size_t end = 0;
  if (!ParseKeyLine(line, parts, end)) {
    error = "unreadable key line: " + line;
    return nullptr;
  }
  if (parts.size() > kMaxKeyDepth) {
    error = "keys are nested deeper than " + std::to_string(kMaxKeyDepth) + " levels";
    return nullptr;
  }
  RegistryNode* key = &root;
  for (const std::u16string& part : parts) key = &key->AddSubkey(part);
  records_[key].blocks.push_back(blocks_.size());
  blocks_.push_back({key, UpperPath(parts), raw, line.substr(0, end), {}, blocks_.size()});
  return key;
}

// Adds a line of the current block; a value line also sets the value in `key`.
void RegistryHive::ReadEntryLine(const std::string& raw, const std::string& line, RegistryNode& key) {
  Entry entry{raw, LineKind::kOther, {}, {}};
  if (line.empty()) {
    entry.kind = LineKind::kBlank;
  } else if (StartsWith(line, "#time=")) {
    entry.kind = LineKind::kTime;
  } else if (ParseValueLine(line, entry.value_name, entry.value)) {
    entry.kind = LineKind::kValue;
    key.SetValue(entry.value_name, entry.value);
  }
  blocks_.back().entries.push_back(std::move(entry));
}

struct RegistryHive::Layout {
  struct Pending {
    const RegistryNode* node;
    std::u16string path;
  };
  // Per place (a block read whole, or a key line read on demand): whether
  // it is still in the tree.
  std::vector<bool> kept;
  std::map<std::size_t, std::vector<Pending>> new_after;
};

// Walks the tree in Windows' order without recursion: which places still
// hold a live key, and where each key that has no block yet goes (after the
// nearest place before it). A node never read stands for all its key lines.
RegistryHive::Layout RegistryHive::Plan(const RegistryNode& root) const {
  Layout layout;
  layout.kept.assign(on_demand_ ? key_lines_.size() : blocks_.size(), false);
  struct Visit {
    const RegistryNode* node;
    std::u16string path;
    std::u16string upper_path;
  };
  std::vector<Visit> stack{{&root, u"", u""}};
  std::size_t anchor = kHeaderEnd;
  while (!stack.empty()) {
    Visit visit = std::move(stack.back());
    stack.pop_back();
    if (visit.node->loader != nullptr) {
      const Unread& unread = unread_[visit.node->loader_slot];
      for (std::uint32_t line = unread.begin; line < unread.end; ++line) layout.kept[line] = true;
      if (unread.end > unread.begin) anchor = unread.end - 1;
      continue;
    }
    const auto record = records_.find(visit.node);
    const bool has_block = record != records_.end() && !record->second.blocks.empty() &&
                           blocks_[record->second.blocks.front()].upper_path == visit.upper_path;
    if (has_block) {
      for (const std::size_t block : record->second.blocks) layout.kept[blocks_[block].position] = true;
      anchor = blocks_[record->second.blocks.front()].position;
    } else if (visit.node == &root ? !root.values.empty()
                                   : !visit.node->values.empty() || visit.node->subkeys.empty()) {
      layout.new_after[anchor].push_back({visit.node, visit.path});
    }
    for (auto it = visit.node->subkeys.rbegin(); it != visit.node->subkeys.rend(); ++it) {
      const RegistryNode& child = *it->second;
      const std::u16string separator = visit.node == &root ? u"" : u"\\";
      stack.push_back({&child, visit.path + separator + child.name,
                       visit.upper_path + separator + it->first});
    }
  }
  return layout;
}

void RegistryHive::RenderNew(const Layout& layout, std::size_t after, long long stamp,
                             std::string& out) const {
  const auto found = layout.new_after.find(after);
  if (found == layout.new_after.end()) return;
  for (const Layout::Pending& pending : found->second) {
    // A file that ends without a line end must not run into the new key.
    if (!out.empty() && out.back() != '\n') out += "\n";
    out += "[" + Escape(pending.path, true) + "] " + std::to_string(stamp) + "\n";
    for (const auto& [name, value] : pending.node->values) out += RenderValue(name, value);
    out += "\n";
  }
}

std::string RegistryHive::Render(const RegistryNode& root, long long stamp) const {
  const Layout layout = Plan(root);
  std::string out = header_;
  RenderNew(layout, kHeaderEnd, stamp, out);
  if (on_demand_) {
    out.reserve(text_.size() + 4096);
    for (std::size_t line = 0; line < key_lines_.size(); ++line) {
      if (!layout.kept[line]) continue;  // deleted
      const std::uint32_t block = block_of_line_[line];
      const NodeRecord* record = block ? &records_.at(blocks_[block - 1].node) : nullptr;
      if (!record || SameValues(record->values, blocks_[block - 1].node->values)) {
        out += KeyBlockText(static_cast<std::uint32_t>(line));
      } else {
        RenderChanged(*blocks_[block - 1].node, *record, stamp, out);
      }
      RenderNew(layout, line, stamp, out);
    }
    return out;
  }
  std::set<const RegistryNode*> written;
  for (std::size_t index = 0; index < blocks_.size(); ++index) {
    const Block& block = blocks_[index];
    if (!layout.kept[index]) continue;  // deleted
    const NodeRecord& record = records_.at(block.node);
    const bool first = written.insert(block.node).second;
    if (SameValues(record.values, block.node->values)) {
      out += block.key_line;
      for (const Entry& entry : block.entries) out += entry.raw;
    } else if (first) {
      RenderChanged(*block.node, record, stamp, out);
    }
    if (first) RenderNew(layout, index, stamp, out);
  }
  return out;
}

void RegistryHive::RenderChanged(const RegistryNode& node, const NodeRecord& record,
                                 long long stamp, std::string& out) const {
  out += blocks_[record.blocks.front()].bracketed + " " + std::to_string(stamp) + "\n";
  bool timed = false;
  std::set<std::u16string> done;  // upper-cased value names already written
  for (const std::size_t index : record.blocks) {
    for (const Entry& entry : blocks_[index].entries) {
      switch (entry.kind) {
        case LineKind::kBlank: break;
        case LineKind::kOther: out += entry.raw; break;
        case LineKind::kTime:
          if (!timed) out += TimeLine(stamp);
          timed = true;
          break;
        case LineKind::kValue: {
          if (!done.insert(UpcaseName(entry.value_name)).second) break;
          const RegValue* now = node.FindValue(entry.value_name);
          if (!now) break;  // deleted
          out += SameValue(*now, entry.value) ? entry.raw : RenderValue(entry.value_name, *now);
          break;
        }
      }
    }
  }
  for (const auto& [name, value] : node.values) {
    if (done.insert(UpcaseName(name)).second) out += RenderValue(name, value);
  }
  out += "\n";
}

}  // namespace quillbank
