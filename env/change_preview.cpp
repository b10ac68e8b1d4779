#include "env/change_preview.h"

#include <algorithm>
#include <cstdio>

#include "env/change_record.h"
#include "env/registry_access.h"
#include "env/platform/registry_tree.h"

namespace quillbank {
namespace {

// ------------------------------------------------------------ unified diff

constexpr std::size_t kContext = 3;
// Past this many differing lines the middle is shown as one replacement:
// the edit search would cost more than the preview is worth.
constexpr std::size_t kMaxEdits = 4000;

// The text as lines, each with its line end ("\n" or "\r\n") if it has one.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

// A file's text as the diff shows it: UTF-16LE (after its byte order mark)
// decoded to UTF-8, anything else as it is.
std::string Shown(const std::string& bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return bytes;
  }
  std::u16string wide;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return Utf16ToUtf8(wide);
}

enum class Op { Keep, Remove, Add };

// The shortest edit script between a and b (Myers' greedy search), as one
// operation per line; when it would take more than kMaxEdits edits, every
// line of a is removed and every line of b added.
std::vector<Op> EditScript(const std::vector<std::string_view>& a,
                           const std::vector<std::string_view>& b) {
  const long n = static_cast<long>(a.size());
  const long m = static_cast<long>(b.size());
  const long max = std::min<long>(n + m, kMaxEdits);
  const long offset = max + 1;
  std::vector<long> v(2 * offset + 1, 0);
  std::vector<std::vector<long>> trace;
  long found = -1;
  for (long d = 0; d <= max && found < 0; ++d) {
    trace.push_back(v);
    for (long k = -d; k <= d; k += 2) {
      long x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]))
                   ? v[offset + k + 1]
                   : v[offset + k - 1] + 1;
      long y = x - k;
      while (x < n && y < m && a[x] == b[y]) ++x, ++y;
      v[offset + k] = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  std::vector<Op> ops;
  if (found < 0) {
    ops.assign(a.size(), Op::Remove);
    ops.insert(ops.end(), b.size(), Op::Add);
    return ops;
  }
  long x = n;
  long y = m;
  for (long d = found; d > 0; --d) {
    const std::vector<long>& previous = trace[d];
    const long k = x - y;
    const bool down = k == -d || (k != d && previous[offset + k - 1] < previous[offset + k + 1]);
    const long prev_k = down ? k + 1 : k - 1;
    const long prev_x = previous[offset + prev_k];
    const long prev_y = prev_x - prev_k;
    while (x > prev_x && y > prev_y) ops.push_back(Op::Keep), --x, --y;
    ops.push_back(down ? Op::Add : Op::Remove);
    x = prev_x;
    y = prev_y;
  }
  while (x > 0 && y > 0) ops.push_back(Op::Keep), --x, --y;
  std::reverse(ops.begin(), ops.end());
  return ops;
}

void AppendLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out.append(line);
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

std::string Range(std::size_t start, std::size_t count) {
  // A side with no lines names the line before the hunk, as diff does.
  std::string text = std::to_string(count == 0 ? start : start + 1);
  if (count != 1) text += "," + std::to_string(count);
  return text;
}

// The hunks of an edit script; `ops` covers the whole of a and b.
std::string Hunks(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                  const std::vector<Op>& ops) {
  std::string out;
  std::size_t i = 0;
  while (i < ops.size()) {
    // Find the next change, then grow the hunk while changes lie within
    // twice the context of each other.
    std::size_t first = i;
    while (first < ops.size() && ops[first] == Op::Keep) ++first;
    if (first == ops.size()) break;
    std::size_t last = first;
    for (std::size_t j = first; j < ops.size(); ++j) {
      if (ops[j] != Op::Keep) {
        last = j;
      } else if (j - last > 2 * kContext) {
        break;
      }
    }
    const std::size_t begin = first > kContext ? first - kContext : 0;
    const std::size_t end = std::min(ops.size(), last + 1 + kContext);
    std::size_t a_line = 0;
    std::size_t b_line = 0;
    for (std::size_t j = 0; j < begin; ++j) {
      if (ops[j] != Op::Add) ++a_line;
      if (ops[j] != Op::Remove) ++b_line;
    }
    std::string body;
    std::size_t a_count = 0;
    std::size_t b_count = 0;
    for (std::size_t j = begin; j < end; ++j) {
      switch (ops[j]) {
        case Op::Keep:
          AppendLine(body, ' ', a[a_line + a_count]);
          ++a_count, ++b_count;
          break;
        case Op::Remove:
          AppendLine(body, '-', a[a_line + a_count]);
          ++a_count;
          break;
        case Op::Add:
          AppendLine(body, '+', b[b_line + b_count]);
          ++b_count;
          break;
      }
    }
    out += "@@ -" + Range(a_line, a_count) + " +" + Range(b_line, b_count) + " @@\n" + body;
    i = end;
  }
  return out;
}

// ---------------------------------------------------------- regedit blocks

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// hex bytes as regedit wraps them: lines of at most 80 columns, continued
// with a backslash and two blanks.
std::string HexList(std::string_view lead, const std::vector<std::uint8_t>& bytes,
                    std::size_t name_width) {
  std::string out(lead);
  std::size_t column = name_width + out.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    const bool more = i + 1 < bytes.size();
    out += hex;
    column += 2;
    if (more) {
      out += ',';
      ++column;
      if (column > 75) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

// `name_width`: the columns of the value's name and "=" before the form.
std::string ValueText(const RegValue& value, const CodePage& code_page, std::size_t name_width) {
  std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
  switch (value.type) {
    case reg_type::kSz: {
      const std::size_t nul = text.find('\0');
      if (nul != std::string_view::npos) text = text.substr(0, nul);
      return Quoted(NarrowToUtf8(code_page, text));
    }
    case reg_type::kDword:
      if (value.data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x",
                      value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                          static_cast<unsigned>(value.data[3]) << 24);
        return number;
      }
      break;
    case reg_type::kBinary:
      return HexList("hex:", value.data, name_width);
    case reg_type::kExpandSz:
    case reg_type::kMultiSz: {
      // regedit writes these as the UTF-16LE bytes Windows keeps, with one
      // closing NUL.
      if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
      const std::string lead = value.type == reg_type::kExpandSz ? "hex(2):" : "hex(7):";
      return HexList(lead, Utf16LeBytes(code_page.Widen(text)), name_width);
    }
    default:
      break;
  }
  char lead[16];
  std::snprintf(lead, sizeof lead, "hex(%x):", value.type);
  return HexList(lead, value.data, name_width);
}

std::string ValueLine(const std::string& name, const std::optional<RegValue>& value,
                      const CodePage& code_page) {
  const std::string shown_name = name.empty() ? "@" : Quoted(NarrowToUtf8(code_page, name));
  return shown_name + "=" + (value ? ValueText(*value, code_page, shown_name.size() + 1) : "-") +
         "\n";
}

// One side of a key's block.
std::string KeySide(const TouchedKey& touched, Registry& registry, const CodePage& code_page) {
  const std::string name = RootName(touched.root) + "\\" + touched.path;
  std::unique_ptr<RegistryKey> key;
  if (registry.Open(touched.root, touched.path, RegAccess::Read, key) != win32_error::kSuccess) {
    return "[-" + name + "]\n";
  }
  std::string out = "[" + name + "]\n";
  for (const std::string& value_name : touched.value_names) {
    RegValue value;
    const bool present =
        QueryWholeValue(*key, value_name, value) == win32_error::kSuccess;
    out += ValueLine(value_name, present ? std::optional<RegValue>(value) : std::nullopt,
                     code_page);
  }
  return out;
}

}  // namespace

std::string UnifiedDiff(const std::string& path, const std::optional<std::string>& before,
                        const std::optional<std::string>& after) {
  if (before == after) return "";
  const std::string old_text = before ? Shown(*before) : "";
  const std::string new_text = after ? Shown(*after) : "";
  const std::vector<std::string_view> a = Lines(old_text);
  const std::vector<std::string_view> b = Lines(new_text);
  // The lines both share at the start and the end never need the search.
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const std::vector<std::string_view> a_middle(a.begin() + head, a.end() - tail);
  const std::vector<std::string_view> b_middle(b.begin() + head, b.end() - tail);
  std::vector<Op> ops(head, Op::Keep);
  const std::vector<Op> middle = EditScript(a_middle, b_middle);
  ops.insert(ops.end(), middle.begin(), middle.end());
  ops.insert(ops.end(), tail, Op::Keep);
  std::string out = "--- " + (before ? path : std::string("/dev/null")) + "\n";
  out += "+++ " + (after ? path : std::string("/dev/null")) + "\n";
  return out + Hunks(a, b, ops);
}

std::string RegistryBlock(const TouchedKey& key, Registry& before, Registry& after,
                          const CodePage& code_page) {
  return "; before\n" + KeySide(key, before, code_page) + "; after\n" +
         KeySide(key, after, code_page) + "\n";
}

std::string SettingsBlocks(const std::vector<StagedSetting>& settings) {
  if (settings.empty()) return "";
  std::vector<std::string> schemas;
  for (const StagedSetting& setting : settings) {
    if (std::find(schemas.begin(), schemas.end(), setting.key.schema) == schemas.end()) {
      schemas.push_back(setting.key.schema);
    }
  }
  std::string out = "GSettings\n";
  for (const std::string& schema : schemas) {
    std::string before = "; before\n[" + schema + "]\n";
    std::string after = "; after\n[" + schema + "]\n";
    for (const StagedSetting& setting : settings) {
      if (setting.key.schema != schema) continue;
      before += setting.key.key + (setting.before ? "=" + *setting.before : " (unreadable)") + "\n";
      after += setting.key.key + "=" + setting.after + "\n";
    }
    out += before + after + "\n";
  }
  return out;
}

std::string ChangePreview(const std::vector<std::string>& files,
                          const std::vector<TouchedKey>& keys,
                          const std::vector<StagedSetting>& settings,
                          const PreviewSources& sources) {
  std::string out;
  for (const std::string& path : files) {
    out += UnifiedDiff(path, sources.before_files.ReadFile(path),
                       sources.after_files.ReadFile(path));
  }
  if (!keys.empty()) out += "Windows Registry Editor Version 5.00\n\n";
  for (const TouchedKey& key : keys) {
    out += RegistryBlock(key, sources.before_registry, sources.after_registry, sources.code_page);
  }
  return out + SettingsBlocks(settings);
}

}  // namespace quillbank
