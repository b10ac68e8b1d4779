#include "env/platform/machine/registry_hive.h"

#include <cstdio>
#include <cstdlib>

namespace quillbank {
namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads a quoted or bracketed text with Wine's escapes, starting after the
// opening character, up to the unescaped `close`. `pos` ends after `close`.
bool ReadEscaped(const std::string& line, std::size_t& pos, char close, std::u16string& out) {
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == close) return true;
    if (c != '\\') {
      // The file is UTF-8; the program's texts never hold raw non-ASCII here
      // but decode two- and three-byte sequences all the same.
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0xC0 && byte < 0xE0 && pos < line.size()) {
        out.push_back(static_cast<char16_t>(((byte & 0x1F) << 6) | (line[pos++] & 0x3F)));
      } else if (byte >= 0xE0 && pos + 1 < line.size()) {
        char16_t unit = static_cast<char16_t>(((byte & 0x0F) << 12) | ((line[pos] & 0x3F) << 6) |
                                              (line[pos + 1] & 0x3F));
        pos += 2;
        out.push_back(unit);
      } else {
        out.push_back(byte);
      }
      continue;
    }
    if (pos >= line.size()) return false;
    const char e = line[pos++];
    switch (e) {
      case 'n': out.push_back(u'\n'); break;
      case 'r': out.push_back(u'\r'); break;
      case 't': out.push_back(u'\t'); break;
      case '0': out.push_back(u'\0'); break;
      case 'x': {
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && IsHex(line[pos])) {
          value = value * 16 + static_cast<unsigned>(std::strtoul(std::string(1, line[pos]).c_str(), nullptr, 16));
          ++pos;
          ++digits;
        }
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default: out.push_back(static_cast<unsigned char>(e)); break;
    }
  }
  return false;
}

std::string Escape(const std::u16string& text, bool key_name) {
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
    if (end > pos) bytes.push_back(static_cast<std::uint8_t>(std::strtoul(text.substr(pos, end - pos).c_str(), nullptr, 16)));
    pos = end;
  }
  return bytes;
}

std::vector<std::uint8_t> TextData(const std::u16string& wide) {
  std::string narrow = NarrowCp1252(wide);
  std::vector<std::uint8_t> data(narrow.begin(), narrow.end());
  data.push_back(0);
  return data;
}

bool IsTextType(std::uint32_t type) { return type == 1 || type == 2; }

// A text value whose data is one NUL-terminated string can be written as str.
bool WritableAsString(const RegValue& value) {
  if (!IsTextType(value.type) || value.data.empty() || value.data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
    if (value.data[i] == 0) return false;
  }
  return true;
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

std::string RenderValue(const std::string& name, const RegValue& value) {
  std::string out = name.empty() ? "@=" : "\"" + Escape(WidenCp1252(name), false) + "\"=";
  if (WritableAsString(value)) {
    const std::string text(value.data.begin(), value.data.end() - 1);
    if (value.type == 2) out += "str(2):";
    return out + "\"" + Escape(WidenCp1252(text), false) + "\"";
  }
  if (value.type == 4 && value.data.size() == 4) {
    char buffer[20];
    const unsigned number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                            static_cast<unsigned>(value.data[3]) << 24;
    std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
    return out + buffer;
  }
  if (value.type == 3) return RenderHex(out + "hex:", value.data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
  return RenderHex(out + prefix, value.data);
}

bool SameValues(const std::vector<std::pair<std::string, RegValue>>& a,
                const std::vector<std::pair<std::string, RegValue>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].first != b[i].first || a[i].second.type != b[i].second.type ||
        a[i].second.data != b[i].second.data)
      return false;
  }
  return true;
}

}  // namespace

std::u16string WidenCp1252(const std::string& text) {
  std::u16string wide;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    wide.push_back(byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char16_t{byte});
  }
  return wide;
}

std::string NarrowCp1252(const std::u16string& text) {
  std::string narrow;
  for (const char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      narrow.push_back(static_cast<char>(c));
      continue;
    }
    char found = '?';
    for (int i = 0; i < 32; ++i) {
      if (kCp1252High[i] == c) found = static_cast<char>(0x80 + i);
    }
    narrow.push_back(found);
  }
  return narrow;
}

bool RegistryHive::Load(const std::string& text, RegistryNode& root, std::string& error) {
  // Split into lines, joining hex continuations ("\" at the end of a line).
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.empty() || lines[0].rfind("WINE REGISTRY Version 2", 0) != 0) {
    error = "not a Wine registry file";
    return false;
  }
  header_.clear();
  std::size_t i = 0;
  for (; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i) header_ += lines[i] + "\n";

  RegistryNode* current = nullptr;
  KeyBlock* block = nullptr;
  for (; i < lines.size(); ++i) {
    std::string line = lines[i];
    std::vector<std::string> raw = {line};
    while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
           i + 1 < lines.size()) {
      ++i;
      raw.push_back(lines[i]);
      line.pop_back();
      std::string next = lines[i];
      next.erase(0, next.find_first_not_of(' '));
      line += next;
    }
    if (!line.empty() && line[0] == '[') {
      std::size_t pos = 1;
      std::u16string path;
      if (!ReadEscaped(line, pos, ']', path)) {
        error = "unreadable key line: " + line;
        return false;
      }
      current = &root;
      for (const std::string& part : SplitKeyPath(NarrowCp1252(path))) current = &current->AddSubkey(part);
      block = &blocks_[current];
      block->lines = raw;
      continue;
    }
    if (!block) continue;
    block->lines.insert(block->lines.end(), raw.begin(), raw.end());
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;

    std::string name;
    std::size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      pos = 1;
      std::u16string wide_name;
      if (!ReadEscaped(line, pos, '"', wide_name)) {
        error = "unreadable value line: " + line;
        return false;
      }
      name = NarrowCp1252(wide_name);
    } else {
      continue;
    }
    if (pos >= line.size() || line[pos] != '=') continue;
    ++pos;
    const std::string data = line.substr(pos);
    RegValue value;
    if (!data.empty() && data[0] == '"') {
      std::size_t p = 1;
      std::u16string wide;
      ReadEscaped(data, p, '"', wide);
      value = {1, TextData(wide)};
    } else if (data.rfind("str(", 0) == 0) {
      const std::size_t close = data.find("):\"");
      if (close == std::string::npos) continue;
      std::size_t p = close + 3;
      std::u16string wide;
      ReadEscaped(data, p, '"', wide);
      value = {static_cast<std::uint32_t>(std::strtoul(data.substr(4, close - 4).c_str(), nullptr, 16)),
               TextData(wide)};
    } else if (data.rfind("dword:", 0) == 0) {
      const unsigned long number = std::strtoul(data.substr(6).c_str(), nullptr, 16);
      value = {4, {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                   static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
    } else if (data.rfind("hex:", 0) == 0) {
      value = {3, ParseHexBytes(data.substr(4))};
    } else if (data.rfind("hex(", 0) == 0) {
      const std::size_t close = data.find("):");
      if (close == std::string::npos) continue;
      value = {static_cast<std::uint32_t>(std::strtoul(data.substr(4, close - 4).c_str(), nullptr, 16)),
               ParseHexBytes(data.substr(close + 2))};
    } else {
      continue;
    }
    current->values.emplace_back(name, value);
  }
  for (auto& [node, key_block] : blocks_) key_block.values = node->values;
  return true;
}

std::string RegistryHive::Render(const RegistryNode& root, long long stamp) const {
  std::string out = header_;
  for (const auto& [name, child] : root.subkeys) RenderNode(*child, child->name, stamp, out);
  return out;
}

void RegistryHive::RenderNode(const RegistryNode& node, const std::string& path, long long stamp,
                              std::string& out) const {
  const auto found = blocks_.find(&node);
  if (found != blocks_.end() && SameValues(found->second.values, node.values)) {
    for (const std::string& line : found->second.lines) out += line + "\n";
  } else if (found != blocks_.end() || !node.values.empty() || node.subkeys.empty()) {
    out += "[" + Escape(WidenCp1252(path), true) + "] " + std::to_string(stamp) + "\n";
    for (const auto& [name, value] : node.values) out += RenderValue(name, value) + "\n";
    out += "\n";
  }
  for (const auto& [name, child] : node.subkeys) {
    RenderNode(*child, path + "\\" + child->name, stamp, out);
  }
}

}  // namespace quillbank
