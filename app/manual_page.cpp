#include "app/manual_page.h"

#include <vector>

#include "app/help_text.h"
#include "core/ascii_text.h"

namespace quillbank {
namespace {

// Escapes backslashes and word-starting hyphens; the line start is left to
// RoffTextLine.
std::string RoffEscape(const std::string& text) {
  std::string out;
  bool word_start = true;
  bool in_dashes = false;  // inside the hyphens that begin an option
  for (const char c : text) {
    if (c == '-' && (word_start || in_dashes)) {
      out += "\\-";
      in_dashes = true;
      word_start = false;
      continue;
    }
    in_dashes = false;
    if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
    word_start = c == ' ' || c == '[' || c == '(' || c == '|' || c == '"';
  }
  return out;
}

// A .TP tag for an option key: the option words ("-n", "--help,", "/?") in
// bold, their arguments ("N", "\"Name\"") in italics, separating commas plain.
std::string OptionTag(const std::string& key) {
  std::string tag;
  for (const std::string_view key_word : AsciiWords(key)) {
    std::string word(key_word);
    std::string comma;
    if (word.size() > 1 && word.back() == ',') {
      comma = ",";
      word.pop_back();
    }
    if (!tag.empty()) tag += ' ';
    const bool option = word[0] == '-' || word[0] == '/';
    tag += (option ? "\\fB" : "\\fI") + RoffEscape(word) + "\\fR" + comma;
  }
  return tag;
}

void TaggedParagraphs(std::string& page, const std::vector<HelpRow>& rows, bool options) {
  for (const HelpRow& row : rows) {
    page += ".TP\n";
    page += (options ? OptionTag(row.key) : RoffTextLine(row.key)) + "\n";
    page += RoffTextLine(row.meaning) + "\n";
  }
}

}  // namespace

std::string RoffTextLine(const std::string& text) {
  const bool request_like = !text.empty() && (text[0] == '.' || text[0] == '\'');
  return (request_like ? "\\&" : "") + RoffEscape(text);
}

std::string ManualPage(const ClientList& clients) {
  std::string page;
  page += ".\\\" Made at build time from the tables of quillbank --help.\n";
  page += ".TH QUILLBANK 1 \"\" \"quillbank " QUILLBANK_VERSION "\" \"User Commands\"\n";
  page += ".SH NAME\n";
  page += "quillbank \\- set up the mail provider's POP3 account in a mail client\n";

  // The usage lines without their "usage: " lead, kept in their columns.
  page += ".SH SYNOPSIS\n.nf\n";
  const std::string usage = UsageText(clients);
  const std::string::size_type lead = std::string("usage: ").size();
  for (std::string::size_type start = 0; start < usage.size();) {
    std::string::size_type end = usage.find('\n', start);
    if (end == std::string::npos) end = usage.size();
    const std::string line = usage.substr(start, end - start);
    page += RoffTextLine(line.size() > lead ? line.substr(lead) : line) + "\n";
    start = end + 1;
  }
  page += ".fi\n";

  page += ".SH DESCRIPTION\n";
  page += RoffTextLine("quillbank sets up the mail provider's POP3 account in the mail client "
                       "chosen with -c (" +
                       clients.Numbers() +
                       ") or, in the automatic mode, in the default one. It refuses while the "
                       "client runs, finds an existing account with the same address (then "
                       "skips, resets or creates it) and logs every step.") +
          "\n";
  page += ".PP\n";
  page += RoffTextLine(
              "On Linux it changes a machine folder that stands in for a Windows machine, laid "
              "out like a Wine prefix, or with --home your own " +
              clients.ShortNamesOn(SystemKind::UserHome) + ".") +
          "\n";

  page += ".SH OPTIONS\n";
  TaggedParagraphs(page, OptionRows(clients), true);
  page += ".SH EXIT STATUS\n";
  TaggedParagraphs(page, ExitCodeRows(clients), false);

  page += ".SH ENVIRONMENT\n";
  page += ".TP\n.B QUILLBANK_MACHINE\n";
  page += RoffTextLine(
              "The machine folder to change; without it, $XDG_DATA_HOME/quillbank/machine "
              "(by default ~/.local/share/quillbank/machine), made on first use.") +
          "\n";
  return page;
}

}  // namespace quillbank
