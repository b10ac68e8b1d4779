#include "app/command_line.h"

#include <cstdlib>

namespace quillbank {

bool HasOption(const std::string& text, const std::string& option) {
  return (" " + text).find(" " + option) != std::string::npos;
}

std::string OptionValue(const std::string& text, const std::string& option) {
  const std::string padded = " " + text;
  const std::size_t at = padded.find(" " + option + " ");
  if (at == std::string::npos) return kNullValue;
  std::size_t end = padded.find(" -", at + 1);
  if (end == std::string::npos) end = padded.size();
  const std::size_t start = at + 4;
  std::string value = start < end ? padded.substr(start, end - start) : std::string();
  if (option == "-n" || option == "-p" || option == "-s") {
    // Drop the quotes without looking at them; a value too short to hold two
    // characters leaves nothing.
    value = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::string();
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
    const std::string prefix = OptionValue(text, "-p");
    if (prefix == kNullValue) return StartMode::MissingOption;
    state.account_prefix = prefix;
    const std::string search = OptionValue(text, "-s");
    state.search_text = search != kNullValue ? search : kNoSearchText;
    return StartMode::Automatic;
  }

  state.automatic = false;
  const std::string name = OptionValue(text, "-n");
  if (name == kNullValue) return StartMode::MissingOption;
  const std::string client = OptionValue(text, "-c");
  if (client == kNullValue) return StartMode::MissingOption;
  const int client_index = std::atoi(client.c_str());
  const std::string address = OptionValue(text, "-a");
  if (address == kNullValue) return StartMode::MissingOption;

  state.client_index = client_index;
  state.address = address;
  state.display_name = name;
  state.make_default = make_default;
  state.overwrite_existing = overwrite;
  return StartMode::CommandLine;
}

const char* UsageText() {
  return "usage: quillbank -n \"Display Name\" -a address -c 0..4 [-d] [-u]"
         "  |  quillbank -auto -p \"prefix\" [-s \"search\"] [-d] [-u] [-x]"
         "  (clients: 0 Outlook Express, 1 Outlook, 2 Windows Mail, 3 Eudora, 4 Thunderbird)";
}

}  // namespace quillbank
