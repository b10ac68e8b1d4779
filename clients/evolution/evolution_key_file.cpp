#include "clients/evolution/evolution_key_file.h"

#include "env/text_file.h"

namespace quillbank::evolution {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string EscapeValue(std::string_view value) {
  std::string stored;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ' ' && i == 0) {
      stored += "\\s";
    } else if (c == '\n') {
      stored += "\\n";
    } else if (c == '\t') {
      stored += "\\t";
    } else if (c == '\r') {
      stored += "\\r";
    } else if (c == '\\') {
      stored += "\\\\";
    } else {
      stored += c;
    }
  }
  return stored;
}

std::string UnescapeValue(std::string_view stored) {
  std::string value;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] != '\\' || i + 1 == stored.size()) {
      value += stored[i];
      continue;
    }
    switch (stored[++i]) {
      case 's': value += ' '; break;
      case 'n': value += '\n'; break;
      case 't': value += '\t'; break;
      case 'r': value += '\r'; break;
      case '\\': value += '\\'; break;
      default:
        value += '\\';
        value += stored[i];
    }
  }
  return value;
}

KeyFile::KeyFile(std::string_view text) {
  std::string group;
  for (const std::string_view whole : SplitLinesKeepingEnds(text)) {
    const std::string_view bare = WithoutLineEnd(whole);
    Line line{std::string(bare), std::string(whole.substr(bare.size())), group, false, ""};
    const std::string_view content = TrimLeft(bare);
    if (!content.empty() && content.front() == '[') {
      const std::size_t close = content.find(']');
      if (close != std::string_view::npos) {
        group = std::string(content.substr(1, close - 1));
        line.group = group;
        line.is_group = true;
      }
    } else if (!content.empty() && content.front() != '#') {
      const std::size_t equals = content.find('=');
      if (equals != std::string_view::npos) {
        line.key = std::string(TrimRight(content.substr(0, equals)));
      }
    }
    lines_.push_back(std::move(line));
  }
}

bool KeyFile::HasGroup(std::string_view group) const {
  for (const Line& line : lines_) {
    if (line.is_group && line.group == group) return true;
  }
  return false;
}

std::optional<std::string> KeyFile::Get(std::string_view group, std::string_view key) const {
  std::optional<std::string> value;
  for (const Line& line : lines_) {
    if (line.is_group || line.key.empty() || line.group != group || line.key != key) continue;
    const std::string_view content = TrimLeft(line.text);
    value = UnescapeValue(TrimLeft(content.substr(content.find('=') + 1)));
  }
  return value;
}

std::optional<std::size_t> KeyFile::EndOfGroup(std::string_view group) const {
  std::optional<std::size_t> end;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.group == group && (line.is_group || !line.key.empty())) end = i + 1;
  }
  return end;
}

void KeyFile::Set(std::string_view group, std::string_view key, std::string_view value) {
  const std::string text = std::string(key) + "=" + EscapeValue(value);
  bool found = false;
  for (Line& line : lines_) {
    if (line.is_group || line.group != group || line.key != key) continue;
    line.text = text;
    found = true;
  }
  if (found) return;
  // A last line without a line end gets one before anything follows it.
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\n";
  const Line added{text, "\n", std::string(group), false, std::string(key)};
  if (const std::optional<std::size_t> end = EndOfGroup(group)) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*end), added);
    return;
  }
  if (!lines_.empty() && !TrimLeft(lines_.back().text).empty()) {
    lines_.push_back(Line{"", "\n", lines_.back().group, false, ""});
  }
  lines_.push_back(Line{"[" + std::string(group) + "]", "\n", std::string(group), true, ""});
  lines_.push_back(added);
}

std::string KeyFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + line.end;
  return text;
}

}  // namespace quillbank::evolution
