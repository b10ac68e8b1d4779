#include "tests/support/preview_apply.h"

#include <sstream>
#include <vector>

#include "env/platform/code_page.h"

namespace quillbank::testing {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start + (end < text.size() ? 1 : 0)));
    start = end + 1;
  }
  return lines;
}

std::string Chomp(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

std::string Decoded(const std::string& bytes) {
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return bytes;
  std::u16string wide;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return Utf16ToUtf8(wide);
}

std::string Encoded(const std::string& utf8) {
  const std::vector<std::uint8_t> bytes = Utf16LeBytes(Utf8ToUtf16(utf8).value_or(u""));
  return "\xFF\xFE" + std::string(bytes.begin(), bytes.end() - 2);  // without the closing NUL
}

void MakeParents(Files& files, const std::string& path) {
  const char separator = path[0] == '/' ? '/' : '\\';
  for (std::size_t at = path.find(separator, 3); at != std::string::npos;
       at = path.find(separator, at + 1)) {
    files.CreateFolder(path.substr(0, at));
  }
}

// Applies one file's hunks, starting at lines[i] ("--- "); moves i past them.
bool ApplyFile(Platform& platform, const std::vector<std::string>& lines, std::size_t& i,
               std::string& error, bool (*utf16)(const std::string&)) {
  const std::string from = Chomp(lines[i]).substr(4);
  const std::string to = Chomp(lines[i + 1]).substr(4);
  i += 2;
  const std::string path = to == "/dev/null" ? from : to;
  const std::string old_text =
      from == "/dev/null" ? "" : Decoded(platform.files.ReadFile(path).value_or(""));
  const std::vector<std::string> old_lines = LinesOf(old_text);
  std::string result;
  std::size_t kept = 0;  // old lines taken so far
  while (i < lines.size() && lines[i].rfind("@@ -", 0) == 0) {
    // "@@ -start[,count] +start[,count] @@": the counts say how many lines
    // the hunk takes from each side.
    const std::string& header = lines[i];
    const std::size_t plus = header.find(" +");
    const auto count_of = [&](std::size_t from, std::size_t to) -> std::size_t {
      const std::size_t comma = header.find(',', from);
      return comma != std::string::npos && comma < to ? std::stoul(header.substr(comma + 1)) : 1;
    };
    std::size_t start = std::stoul(header.substr(4));
    std::size_t old_count = count_of(4, plus);
    std::size_t new_count = count_of(plus + 2, header.find(" @@", plus));
    if (old_count == 0) ++start;  // an empty old side names the line before the hunk
    for (; kept + 1 < start; ++kept) result += old_lines.at(kept);
    ++i;
    std::string* last = nullptr;  // the last line taken, for "\ No newline"
    while (i < lines.size() && (old_count > 0 || new_count > 0 || lines[i][0] == '\\')) {
      const char mark = lines[i][0];
      const std::string body = lines[i].substr(1);
      ++i;
      if (mark == '\\') {
        if (last && !last->empty() && last->back() == '\n') last->pop_back();
        continue;
      }
      if (mark == ' ' || mark == '-') {
        if (kept >= old_lines.size() || old_lines[kept] != body) {
          error = "hunk does not fit " + path + " at line " + std::to_string(kept + 1);
          return false;
        }
        ++kept;
        --old_count;
      }
      if (mark == ' ' || mark == '+') {
        result += body;
        --new_count;
      }
      last = mark == '-' ? nullptr : &result;
    }
  }
  for (; kept < old_lines.size(); ++kept) result += old_lines[kept];
  if (to == "/dev/null") {
    platform.files.DeleteFile(path);
    return true;
  }
  MakeParents(platform.files, path);
  const bool wide = utf16 && utf16(path);
  if (platform.files.ReplaceContents(path, wide ? Encoded(result) : result) != FileWrite::Written) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

std::vector<std::uint8_t> HexBytes(const std::string& list) {
  std::vector<std::uint8_t> bytes;
  std::stringstream in(list);
  for (std::string byte; std::getline(in, byte, ',');) {
    if (!byte.empty()) bytes.push_back(static_cast<std::uint8_t>(std::stoi(byte, nullptr, 16)));
  }
  return bytes;
}

RegRoot RootOf(const std::string& name) {
  if (name == "HKEY_LOCAL_MACHINE") return RegRoot::LocalMachine;
  if (name == "HKEY_CLASSES_ROOT") return RegRoot::ClassesRoot;
  return RegRoot::CurrentUser;
}

// Sets one value line ("name"=form) on the key.
void ApplyValue(Platform& platform, RegistryKey& key, const std::string& line) {
  std::size_t at = 0;
  std::string name;
  if (line[0] == '@') {
    at = 1;
  } else {
    for (at = 1; line[at] != '"'; ++at) {
      if (line[at] == '\\') ++at;
      name += line[at];
    }
    ++at;
  }
  name = Utf8ToNarrow(platform.code_page, name).value_or(name);
  const std::string form = line.substr(at + 1);
  if (form == "-") {
    key.DeleteValue(name);
  } else if (form[0] == '"') {
    std::string text;
    for (std::size_t c = 1; c + 1 < form.size(); ++c) {
      if (form[c] == '\\') ++c;
      text += form[c];
    }
    text = Utf8ToNarrow(platform.code_page, text).value_or(text);
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);  // text is kept with its terminator, as the program writes it
    key.SetValue(name, reg_type::kSz, data);
  } else if (form.rfind("dword:", 0) == 0) {
    const std::uint32_t n = static_cast<std::uint32_t>(std::stoul(form.substr(6), nullptr, 16));
    key.SetValue(name, reg_type::kDword,
                 {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                  static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
  } else if (form.rfind("hex:", 0) == 0) {
    key.SetValue(name, reg_type::kBinary, HexBytes(form.substr(4)));
  } else {
    const std::uint32_t type = static_cast<std::uint32_t>(std::stoul(form.substr(4), nullptr, 16));
    std::vector<std::uint8_t> bytes = HexBytes(form.substr(form.find(':') + 1));
    if (type == reg_type::kExpandSz || type == reg_type::kMultiSz) {
      std::u16string wide;
      for (std::size_t b = 0; b + 1 < bytes.size(); b += 2) {
        wide.push_back(static_cast<char16_t>(bytes[b] | bytes[b + 1] << 8));
      }
      const std::string narrow = platform.code_page.Narrow(wide).value_or("");
      bytes.assign(narrow.begin(), narrow.end());
    }
    key.SetValue(name, type, bytes);
  }
}

}  // namespace

bool ApplyPreview(Platform& platform, const std::string& preview, std::string& error,
                  bool (*utf16)(const std::string& path)) {
  const std::vector<std::string> lines = LinesOf(preview);
  std::size_t i = 0;
  while (i < lines.size()) {
    if (lines[i].rfind("--- ", 0) == 0) {
      if (!ApplyFile(platform, lines, i, error, utf16)) return false;
      continue;
    }
    if (Chomp(lines[i]) != "; after") {
      if (Chomp(lines[i]).rfind("The log would get", 0) == 0) break;
      ++i;
      continue;
    }
    // The after side: the key line, then its value lines (a continued hex
    // list joined), up to the blank line.
    std::string key_line = Chomp(lines[++i]);
    ++i;
    const bool removed = key_line.rfind("[-", 0) == 0;
    const std::string name = key_line.substr(removed ? 2 : 1, key_line.size() - (removed ? 3 : 2));
    const std::size_t slash = name.find('\\');
    const RegRoot root = RootOf(name.substr(0, slash));
    const std::string path = name.substr(slash + 1);
    if (removed) {
      (void)platform.registry.DeleteKey(root, path);
      continue;
    }
    std::unique_ptr<RegistryKey> key;
    if (platform.registry.Create(root, path, key) != win32_error::kSuccess) {
      error = "cannot create " + name;
      return false;
    }
    while (i < lines.size() && !Chomp(lines[i]).empty()) {
      std::string line = Chomp(lines[i++]);
      while (!line.empty() && line.back() == '\\' && i < lines.size()) {
        line.pop_back();
        line += Chomp(lines[i++]).substr(2);
      }
      ApplyValue(platform, *key, line);
    }
  }
  if (platform.registry.Commit() != win32_error::kSuccess) {
    error = "the registry could not be saved";
    return false;
  }
  return true;
}

}  // namespace quillbank::testing
