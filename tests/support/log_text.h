// Log and text files as tests compare them: split into lines, with what
// changes from run to run (time stamps, GUIDs) masked, so that a log written
// by a real clock compares equal to expected text line by line.
#pragma once

#include <string>
#include <vector>

namespace quillbank::testing {

// Splits text at "\r\n" (or "\n") into lines; a last line end adds no empty line.
[[nodiscard]] std::vector<std::string> LinesOf(const std::string& text);

// Replaces every "HH:MM:SS on MM/DD/YY" time stamp with "<time>", so that logs
// written by a real clock can be compared with expected text.
[[nodiscard]] std::string MaskTimeStamps(const std::string& text);

// Replaces every braced GUID ("{0A1B...}") with "{<guid>}".
[[nodiscard]] std::string MaskGuids(const std::string& text);

// The lines of a log or text file with time stamps and braced GUIDs masked,
// so that runs at different times and on different builds compare equal.
[[nodiscard]] std::vector<std::string> MaskedLines(const std::string& text);

}  // namespace quillbank::testing
