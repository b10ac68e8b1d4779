// The key files Evolution keeps its sources in ("<uid>.source"), read and
// changed as its registry service reads them: "[Group]" lines, "Key=Value"
// lines (blanks around the key and before the value are not part of them),
// comment lines starting with "#", and blank lines. A value is stored
// escaped: "\s" for a leading space, "\t", "\n", "\r" and "\\", so no value
// can start a line, a key or a group of its own. A rewrite changes only the
// lines of the keys it sets and adds the ones missing; every other line,
// comment, key and group stays as it was, with its own line end.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::evolution {

// A value as the file holds it, and back. Unescaping leaves an unknown
// escape ("\x") as it is written.
[[nodiscard]] std::string EscapeValue(std::string_view value);
[[nodiscard]] std::string UnescapeValue(std::string_view stored);

class KeyFile {
 public:
  KeyFile() = default;
  explicit KeyFile(std::string_view text);

  [[nodiscard]] bool HasGroup(std::string_view group) const;
  // The value of the key in the group, unescaped; where the key is written
  // more than once the last one counts, as for the registry service.
  [[nodiscard]] std::optional<std::string> Get(std::string_view group, std::string_view key) const;
  // Gives the key the value (escaped): every line of the key in the group
  // is rewritten; a missing key is added after the group's last key, a
  // missing group at the end.
  void Set(std::string_view group, std::string_view key, std::string_view value);

  // The whole file; a new line ends with "\n".
  [[nodiscard]] std::string Text() const;

 private:
  struct Line {
    std::string text;      // without its line end
    std::string end;       // "\n", "\r\n", "\r", or none for a last line without one
    std::string group;     // the group the line belongs to (a group line: its own)
    bool is_group = false;
    std::string key;       // the key of a key line; empty otherwise
  };
  // Where a line of `group` would go after its last key (or its group line);
  // none when the group is missing.
  [[nodiscard]] std::optional<std::size_t> EndOfGroup(std::string_view group) const;

  std::vector<Line> lines_;
};

}  // namespace quillbank::evolution
