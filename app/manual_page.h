// The manual page quillbank(1), in roff for man(7): the usage lines, the
// option table and the exit-code table of --help, so that the page and the
// help never disagree.
#pragma once

#include <string>

#include "core/client_list.h"

namespace quillbank {

// `text` as one roff text line: backslashes written as \e, each hyphen that
// begins a word (an option, "-c", "--home") as \-, hyphens inside words
// ("account-name") kept, and a leading dot or apostrophe, which would make
// the line a request, guarded by \&.
[[nodiscard]] std::string RoffTextLine(const std::string& text);

// The whole page, with the client numbers of `clients`.
[[nodiscard]] std::string ManualPage(const ClientList& clients);

}  // namespace quillbank
