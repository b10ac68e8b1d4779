// The command text and its options, read the way the program has always read
// them: plain substring tests, so that login scripts written for it keep
// working, quirks included.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/client_list.h"
#include "session/run_state.h"
#include "env/platform/code_page.h"

namespace quillbank {

// A value typed as this text counts as absent.
inline constexpr const char* kNullValue = "*NULL*";
// A "-s" value that asks for no search, as a missing "-s" does.
inline constexpr const char* kNoSearchText = "NULL";

// The command text a Windows user would have typed, rebuilt from arguments
// whose quotes the shell has removed: the values of the quoted options are
// wrapped in double quotes unless they already start and end with one, and
// all arguments after the program's own name are joined by single blanks.
[[nodiscard]] std::string CommandTextFromArguments(int argc, const char* const* argv);

// True when " " + text contains " " + option anywhere (so "-d" also matches
// any word that starts with those two characters).
[[nodiscard]] bool HasOption(const std::string& text, const std::string& option);

// The text after " " + option + " " up to the next " -" (or the end). For
// "-n", "-p" and "-s" the first and last character (a whole UTF-8 sequence
// each) are dropped unseen: those values are expected in double quotes.
// No value when the option is absent.
[[nodiscard]] std::optional<std::string> OptionValue(const std::string& text,
                                                     const std::string& option);

// The options whose values are typed in double quotes: "-n", "-p" and "-s".
[[nodiscard]] bool IsQuotedOption(std::string_view option);

enum class StartMode {
  Dialog,         // empty command text
  CommandLine,    // -n, -a and -c given
  Automatic,      // -auto with -p
  MissingOption,  // a required option is absent: nothing is done
};

// Reads the command text into the run's fields as start-up does and tells
// which mode the program runs in.
[[nodiscard]] StartMode ReadCommandText(std::string text, RunState& state);

// The command text arrives as UTF-8 (the POSIX arguments, or the Windows
// command line read as Unicode); inside, the program keeps narrow text of its
// code page. Converts the values the text gave (name, address, prefix,
// search text) in place. A value that is not UTF-8, or that holds a
// character the code page has no byte for, is refused rather than stored
// with a stand-in: the message naming it is returned, and the fields are
// left as they were read.
[[nodiscard]] std::optional<std::string> NarrowCommandValues(const CodePage& code_page,
                                                             RunState& state);

}  // namespace quillbank
