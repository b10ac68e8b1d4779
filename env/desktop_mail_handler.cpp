#include "env/desktop_mail_handler.h"

#include "core/ascii_text.h"
#include "env/text_file.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

constexpr std::string_view kMailtoKey = "x-scheme-handler/mailto";

// The value of `key` in the `[group]` of a desktop key file (mimeapps.list
// and desktop files share the format): blanks around the "=" do not count,
// comment lines are passed over, and a group that appears twice is one
// group. The first entry of the key counts; none when the group lacks it.
std::optional<std::string_view> KeyFileValue(std::string_view text, std::string_view group,
                                             std::string_view key) {
  bool in_group = false;
  for (const std::string_view raw : SplitLines(text)) {
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      in_group = line.size() == group.size() + 2 && line.back() == ']' &&
                 line.substr(1, group.size()) == group;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_group || equals == std::string_view::npos) continue;
    if (TrimBlanks(line.substr(0, equals)) == key) return TrimBlanks(line.substr(equals + 1));
  }
  return std::nullopt;
}

// The first desktop id of a ";"-separated list; empty when it has none.
std::string_view FirstDesktopId(std::string_view list) {
  while (!list.empty()) {
    const std::size_t semicolon = list.find(';');
    const std::string_view id = TrimBlanks(list.substr(0, semicolon));
    if (!id.empty()) return id;
    if (semicolon == std::string_view::npos) break;
    list.remove_prefix(semicolon + 1);
  }
  return {};
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `word` stands in `text` (without regard to case) with neither a
// letter nor a digit on either side: "thunderbird" is in
// "org.mozilla.Thunderbird.desktop" but not in "thunderbirdish.desktop".
bool NamesAsWord(std::string_view text, std::string_view word) {
  if (word.empty()) return false;
  const std::string lower_text = AsciiLower(text);
  const std::string lower_word = AsciiLower(word);
  for (std::size_t at = lower_text.find(lower_word); at != std::string::npos;
       at = lower_text.find(lower_word, at + 1)) {
    const std::size_t end = at + lower_word.size();
    if ((at == 0 || !IsAsciiAlnum(lower_text[at - 1])) &&
        (end == lower_text.size() || !IsAsciiAlnum(lower_text[end]))) {
      return true;
    }
  }
  return false;
}

// The arguments of an Exec line: separated by blanks; a double-quoted
// argument may hold blanks, and inside the quotes a backslash takes the
// next character as it is.
std::vector<std::string> ExecArguments(std::string_view exec) {
  std::vector<std::string> arguments;
  std::size_t at = 0;
  while (at < exec.size()) {
    if (IsAsciiSpace(exec[at])) {
      ++at;
      continue;
    }
    std::string argument;
    bool quoted = false;
    for (; at < exec.size() && (quoted || !IsAsciiSpace(exec[at])); ++at) {
      if (exec[at] == '"') {
        quoted = !quoted;
      } else if (quoted && exec[at] == '\\' && at + 1 < exec.size()) {
        argument += exec[++at];
      } else {
        argument += exec[at];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string_view FileName(std::string_view path) { return path.substr(path.rfind('/') + 1); }

// True when the Exec command runs `program`: as its own file name, or as
// the application "flatpak run [options] <application>" starts.
bool ExecRuns(const std::vector<std::string>& arguments, std::string_view program) {
  if (arguments.empty()) return false;
  const std::string_view command = FileName(arguments.front());
  if (EqualsIgnoringCase(command, program)) return true;
  if (command != "flatpak" || arguments.size() < 2 || arguments[1] != "run") return false;
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    if (StartsWith(arguments[i], "-")) continue;
    return NamesAsWord(arguments[i], program);
  }
  return false;
}

// The Exec line of the desktop file `desktop_id`, from the first data folder
// whose "applications" folder holds it; none when none does.
std::optional<std::string> ExecOf(Platform& platform, std::string_view desktop_id) {
  // An id names a file in the folder, never a path out of it.
  if (desktop_id.find('/') != std::string_view::npos || desktop_id == "." || desktop_id == "..") {
    return std::nullopt;
  }
  for (const std::string& folder : platform.user.DataFolders()) {
    const std::optional<std::string> text = platform.files.ReadFile(
        JoinPath(platform, JoinPath(platform, folder, "applications"), desktop_id));
    if (!text) continue;
    const std::optional<std::string_view> exec = KeyFileValue(*text, "Desktop Entry", "Exec");
    return exec ? std::optional<std::string>(*exec) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> MimeAppsLists(Platform& platform) {
  std::vector<std::string> names;
  for (const std::string& desktop : platform.user.CurrentDesktops()) {
    names.push_back(desktop + "-mimeapps.list");
  }
  names.emplace_back("mimeapps.list");
  std::vector<std::string> lists;
  for (const std::string& folder : platform.user.ConfigFolders()) {
    for (const std::string& name : names) lists.push_back(JoinPath(platform, folder, name));
  }
  for (const std::string& folder : platform.user.DataFolders()) {
    const std::string applications = JoinPath(platform, folder, "applications");
    for (const std::string& name : names) lists.push_back(JoinPath(platform, applications, name));
  }
  return lists;
}

std::optional<DesktopMailHandler> FindDesktopMailHandler(Platform& platform) {
  for (const std::string& list : MimeAppsLists(platform)) {
    const std::optional<std::string> text = platform.files.ReadFile(list);
    if (!text) continue;
    const std::optional<std::string_view> value =
        KeyFileValue(*text, "Default Applications", kMailtoKey);
    const std::string_view id = value ? FirstDesktopId(*value) : std::string_view();
    if (!id.empty()) return DesktopMailHandler{std::string(id), list};
  }
  return std::nullopt;
}

int ClientOfDesktopFile(Platform& platform, const ClientList& clients,
                        std::string_view desktop_id) {
  // Clients known on this system by a program on PATH.
  std::vector<int> candidates;
  for (int index = 0; index < clients.size(); ++index) {
    if (clients.ExistsHere(index) && clients.SiteOf(index).program_on_path) {
      candidates.push_back(index);
    }
  }
  for (const int index : candidates) {
    if (NamesAsWord(desktop_id, clients.SiteOf(index).program_on_path)) return index;
  }
  const std::optional<std::string> exec = ExecOf(platform, desktop_id);
  if (!exec) return kNoClient;
  const std::vector<std::string> arguments = ExecArguments(*exec);
  for (const int index : candidates) {
    if (ExecRuns(arguments, clients.SiteOf(index).program_on_path)) return index;
  }
  return kNoClient;
}

}  // namespace quillbank
