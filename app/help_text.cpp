#include "app/help_text.h"

#include "core/ascii_text.h"

namespace quillbank {
namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kKeyColumn = 18;  // where the meanings start

// `rows` as two columns, the meaning wrapped at word breaks so that no line
// passes kWidth; a key too wide for its column puts the meaning below it.
std::string Table(const std::vector<HelpRow>& rows) {
  std::string text;
  for (const HelpRow& row : rows) {
    std::string line = "  " + row.key;
    if (line.size() + 1 >= kKeyColumn) {
      text += line + "\n";
      line.clear();
    }
    line.resize(kKeyColumn, ' ');
    bool first = true;
    for (const std::string_view word : AsciiWords(row.meaning)) {
      if (!first && line.size() + 1 + word.size() > kWidth) {
        text += line + "\n";
        line.assign(kKeyColumn, ' ');
        first = true;
      }
      if (!first) line += ' ';
      line += word;
      first = false;
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace

std::vector<HelpRow> OptionRows(const ClientList& clients) {
  const std::string home = clients.ShortNamesOn(SystemKind::UserHome);
  return {
      {"-n \"Name\"", "display name (in double quotes)"},
      {"-a address", "email address"},
      {"-c N", "client: " + clients.Numbers()},
      {"-d", "make the account the client's default"},
      {"-u", "reset an existing account with the same address"},
      {"-auto", "copy the default client's default account under a prefixed name"},
      {"-p \"prefix\"", "account-name prefix for -auto"},
      {"-s \"text\"", "-auto: copy the first account whose address contains the text"},
      {"-x", "-auto: close running mail clients instead of refusing"},
      {"--home", "Linux: your own " + home + " instead of the machine folder"},
      {"--dry-run", "show what the run would change, and change nothing"},
      {"--undo", "undo the last run that changed this machine (or, with --home, your home)"},
      {"--json", "end with one line of JSON that tells the outcome"},
      {"--help, -h, /?", "show this help"},
      {"--version", "show the version"},
  };
}

std::vector<HelpRow> ExitCodeRows(const ClientList& clients) {
  return {
      {"0", "configured"},
      {"1-9", "the client's own failure (for example 5: the account already exists; 8: Outlook "
              "2013 or later, whose accounts Quillbank does not write)"},
      {"10", "no configurator ran: the -c value is not 0 to " + std::to_string(clients.NumberedCount() - 1) +
                 ", or names a client that does not exist on this computer"},
      {"11", "automatic mode: no account matched the search"},
      {"12", "automatic mode: the default account no longer exists, or its address or name "
             "cannot be read"},
      {"13", "automatic mode: the default client is not recognised"},
      {"20", "refused because a mail client is running"},
      {"21", "another Quillbank run kept changing the same machine for 10 seconds (nothing was "
             "changed; try again)"},
      {"22", "--undo: a store changed since the run (named in the message; nothing was undone)"},
      {"23", "--undo: there is nothing to undo"},
      {"30", "the address or display name holds characters that cannot be used here"},
      {"64", "a required option is missing or empty, the address is not an email address, an "
             "option is unknown, or --home is given with QUILLBANK_MACHINE (nothing is written)"},
      {"69", "the machine folder cannot be used"},
      {"70", "the dialog window could not be made"},
  };
}

std::string UsageText(const ClientList& clients) {
  return "usage: quillbank                         the dialog (Windows)\n"
         "       quillbank -n \"Name\" -a address -c N [-d] [-u]\n"
         "       quillbank -auto -p \"prefix\" [-s \"search\"] [-d] [-u] [-x]\n"
         "       quillbank --home ...               Linux: your " +
         clients.ShortNamesOn(SystemKind::UserHome) +
         "\n"
         "       quillbank --undo | --help | --version\n";
}

std::string HelpText(const ClientList& clients) {
  return UsageText(clients) + "\noptions:\n" + Table(OptionRows(clients)) + "\nexit codes:\n" +
         Table(ExitCodeRows(clients));
}

}  // namespace quillbank
