#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "core/ascii_text.h"

namespace quillbank {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A value typed as "*NULL*" has always counted as a missing one.
std::optional<std::string> Given(std::optional<std::string> value) {
  if (value && *value == kNullValue) return std::nullopt;
  return value;
}

}  // namespace

bool IsQuotedOption(std::string_view option) {
  return option == "-n" || option == "-p" || option == "-s";
}

std::string CommandTextFromArguments(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const bool quoted = argument.size() >= 2 && argument.front() == '"' && argument.back() == '"';
    if (i > 1 && IsQuotedOption(argv[i - 1]) && !quoted) argument = "\"" + argument + "\"";
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return text;
}

bool HasOption(const std::string& text, const std::string& option) {
  return (" " + text).find(" " + option) != std::string::npos;
}

std::optional<std::string> OptionValue(const std::string& text, const std::string& option) {
  const std::string padded = " " + text;
  const std::size_t at = padded.find(" " + option + " ");
  if (at == std::string::npos) return std::nullopt;
  std::size_t end = padded.find(" -", at + 1);
  if (end == std::string::npos) end = padded.size();
  const std::size_t start = at + 4;
  std::string value = start < end ? padded.substr(start, end - start) : std::string();
  if (IsQuotedOption(option)) {
    // Drop the quotes without looking at them: one character at each end,
    // the whole of a UTF-8 sequence; a value too short to hold two
    // characters leaves nothing.
    std::size_t first = value.empty() ? 0 : 1;
    while (first < value.size() && IsUtf8Continuation(value[first])) ++first;
    std::size_t last = value.size();
    if (last > first) --last;
    while (last > first && IsUtf8Continuation(value[last])) --last;
    value = first < last ? value.substr(first, last - first) : std::string();
  }
  return value;
}

StartMode ReadCommandText(std::string text, RunState& state) {
  if (text.empty()) {
    state.command_line = false;
    state.automatic = false;
    return StartMode::Dialog;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();

  state.command_line = true;
  const bool make_default = HasOption(text, "-d");
  const bool close_running = HasOption(text, "-x");
  const bool overwrite = HasOption(text, "-u");
  const bool automatic = HasOption(text, "-auto");

  if (automatic) {
    state.automatic = true;
    state.close_running = close_running;
    state.make_default = make_default;
    state.overwrite_existing = overwrite;
    const std::optional<std::string> prefix = Given(OptionValue(text, "-p"));
    if (!prefix) return StartMode::MissingOption;
    state.account_prefix = *prefix;
    const std::optional<std::string> search = Given(OptionValue(text, "-s"));
    if (search && *search != kNoSearchText) state.search_text = search;
    return StartMode::Automatic;
  }

  state.automatic = false;
  // An empty name or address is no more use than a missing one.
  const std::optional<std::string> name = Given(OptionValue(text, "-n"));
  if (!name || name->empty()) return StartMode::MissingOption;
  const std::optional<std::string> client = Given(OptionValue(text, "-c"));
  if (!client) return StartMode::MissingOption;
  const int client_index = std::atoi(client->c_str());
  const std::optional<std::string> address = Given(OptionValue(text, "-a"));
  // The address keeps its quotes, so `-a ""` typed on Windows arrives as two
  // of them.
  if (!address || address->empty() || *address == "\"\"") return StartMode::MissingOption;

  state.client_index = client_index;
  state.address = *address;
  state.display_name = *name;
  state.make_default = make_default;
  state.overwrite_existing = overwrite;
  return StartMode::CommandLine;
}

namespace {

struct TypedValue {
  const char* what;
  std::string* value;
};

// The first character of `wide` that the code page cannot hold, as "U+4E2D".
std::string FirstUnheldCharacter(const CodePage& code_page, std::u16string_view wide) {
  for (std::size_t i = 0; i < wide.size();) {
    const bool pair = i + 1 < wide.size() && wide[i] >= 0xD800 && wide[i] <= 0xDBFF &&
                      wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    const std::size_t units = pair ? 2 : 1;
    if (!code_page.Narrow(wide.substr(i, units))) {
      const unsigned long code_point =
          pair ? 0x10000UL + ((wide[i] - 0xD800UL) << 10) + (wide[i + 1] - 0xDC00UL) : wide[i];
      char text[16];
      std::snprintf(text, sizeof text, "U+%04lX", code_point);
      return text;
    }
    i += units;
  }
  return "";
}

}  // namespace

std::optional<std::string> NarrowCommandValues(const CodePage& code_page, RunState& state) {
  std::string no_search;
  const TypedValue values[] = {
      {"display name", &state.display_name},
      {"email address", &state.address},
      {"account-name prefix", &state.account_prefix},
      {"search text", state.search_text ? &*state.search_text : &no_search}};
  std::string narrowed[std::size(values)];
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::string intro = std::string("ERROR: The ") + values[i].what;
    const std::optional<std::u16string> wide = Utf8ToUtf16(*values[i].value);
    if (!wide) return intro + " is not valid UTF-8 text. Nothing was configured.";
    std::optional<std::string> narrow = code_page.Narrow(*wide);
    if (!narrow) {
      return intro + " holds the character " + FirstUnheldCharacter(code_page, *wide) +
             ", which cannot be used here. Nothing was configured.";
    }
    narrowed[i] = std::move(*narrow);
  }
  for (std::size_t i = 0; i < std::size(values); ++i) *values[i].value = std::move(narrowed[i]);
  return std::nullopt;
}

}  // namespace quillbank
