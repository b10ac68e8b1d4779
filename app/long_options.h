// The long options ("--home", "--json", ...) and the help words ("-h", "/?"):
// whole words anywhere in the command text, taken out before the command
// line proper is read, so the old options keep their old reading. Words are
// split at blanks outside double quotes, so a quoted name that holds
// "--home" stays the name's.
#pragma once

#include <optional>
#include <string>

namespace quillbank {

struct LongOptions {
  bool home = false;
  bool json = false;
  bool help = false;
  bool version = false;
  bool dry_run = false;
  bool undo = false;
  // The first word that begins with "--" and is no option of ours.
  std::optional<std::string> unknown;
};

// Takes the long options and help words out of `text` (with the blank
// that separated each from its neighbour) and tells which were there.
[[nodiscard]] LongOptions TakeLongOptions(std::string& text);

}  // namespace quillbank
