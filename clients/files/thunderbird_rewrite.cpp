#include "clients/files/thunderbird_rewrite.h"

#include <optional>
#include <utility>

#include "env/run_log.h"

namespace quillbank::thunderbird {
namespace {

constexpr const char* kLocalDrafts = "mailbox://nobody@Local%20Folders/Drafts";
constexpr const char* kLocalSent = "mailbox://nobody@Local%20Folders/Sent";

// Collects the new file's lines, each followed by CR LF.
class Content {
 public:
  explicit Content(const PrefsLines& lines) {
    std::size_t size = 4096;
    for (const std::string_view line : lines) size += line.size() + 2;
    text_.reserve(size);
  }
  void Line(std::string_view line) { text_.append(line).append(RunLog::kLineEnd); }
  // Lines [from, to) of `lines`, which are cut from one text in order. Where
  // that text already ends each of them with CR LF it is copied in one piece.
  void Lines(const PrefsLines& lines, std::size_t from, std::size_t to) {
    if (from >= to) return;
    std::size_t total = 0;
    for (std::size_t n = from; n < to; ++n) total += lines[n].size() + 2;
    const char* start = lines[from].data();
    const std::size_t raw = static_cast<std::size_t>(lines[to - 1].data() - start) +
                            lines[to - 1].size();
    if (raw + 2 == total) {
      text_.append(start, raw).append(RunLog::kLineEnd);
      return;
    }
    for (std::size_t n = from; n < to; ++n) Line(lines[n]);
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

std::string Quoted(std::string_view raw) {
  std::string quoted = "\"";
  quoted.append(raw).append("\"");
  return quoted;
}

std::string Key(std::string_view prefix, std::string_view number, std::string_view suffix) {
  std::string key(prefix);
  key.append(number).append(suffix);
  return key;
}

// A comma-separated list with one more item; a list that was empty gets no
// leading comma.
std::string Appended(std::string_view list, std::string_view item) {
  std::string value(list);
  if (!value.empty()) value += ',';
  value.append(item);
  return value;
}

// The old account list of the accounts line: from the opening quote of the
// value to the closing quote, parenthesis and semicolon.
std::string_view OldAccountList(std::string_view line) {
  const std::size_t start = line.find(kAccountListKey) + kAccountListKey.size() + 4;
  if (start >= line.size()) return {};
  std::size_t end = line.find("\");", start);
  if (end == std::string_view::npos) end = line.size();
  return line.substr(start, end - start);
}

}  // namespace

AccountValues::AccountValues(std::string address_in, std::string display_name_in, bool use_ssl_in)
    : address(std::move(address_in)),
      display_name(std::move(display_name_in)),
      use_ssl(use_ssl_in),
      servers(ServersFor(use_ssl_in)),
      socket_type(use_ssl_in ? 3 : 0) {}

std::vector<std::string> FreshBlock(const AccountValues& v, const Designations& n) {
  const std::string account = "mail.account.account" + n.account;
  const std::string identity = "mail.identity.id" + n.identity;
  const std::string server = "mail.server.server" + n.server;
  const std::string smtp = "mail.smtpserver." + n.smtp;
  return {
      TextPref(account + ".identities", "id" + n.identity),
      TextPref(account + ".server", "server" + n.server),
      TextPref(kAccountListKey, "account" + n.account),
      TextPref("mail.accountmanager.defaultaccount", "account" + n.account),
      TextPref(identity + ".fullName", v.display_name),
      TextPref(identity + ".smtpServer", n.smtp),
      TextPref(server + ".hostname", v.servers.incoming_host),
      BarePref(server + ".login_at_startup", "true"),
      TextPref(server + ".type", "pop3"),
      TextPref(server + ".userName", v.address),
      TextPref(server + ".name", v.address),
      // Thunderbird takes isSecure true as "connect with SSL".
      BarePref(server + ".isSecure", v.use_ssl ? "true" : "false"),
      BarePref(server + ".port", v.servers.incoming_port),
      TextPref(identity + ".useremail", v.address),
      TextPref(identity + ".draft_folder", kLocalDrafts),
      TextPref(identity + ".fcc_folder", kLocalSent),
      BarePref(smtp + ".auth_method", 1),
      BarePref(smtp + ".port", v.servers.outgoing_port),
      BarePref(smtp + ".try_ssl", v.socket_type),
      TextPref(smtp + ".hostname", v.servers.outgoing_host),
      TextPref(smtp + ".username", v.address),
      TextPref(kSmtpListKey, n.smtp),
      TextPref(kDefaultSmtpKey, n.smtp),
  };
}

std::string FreshContent(const PrefsLines& lines, const AccountValues& values) {
  // Lines of a file without accounts stay, ahead of the fresh set, so that a
  // value of the fresh set wins over an old one of the same key.
  Content out(lines);
  out.Lines(lines, 0, lines.size());
  for (const std::string& line : FreshBlock(values, {"2", "1", "2", "smtp1"})) out.Line(line);
  return out.Take();
}

std::string NewAccountContent(const PrefsLines& lines, const AccountValues& v,
                              const NewAccount& account) {
  const PrefsScanner scan(lines);
  const std::size_t count = lines.size();
  const std::string a = std::to_string(account.account);
  const std::string i = std::to_string(account.identity);
  const std::string s = std::to_string(account.server);
  const std::string smtp = "smtp" + std::to_string(account.smtp);

  // The places the steps below change, found before anything is written.
  std::size_t first_pref = 0;
  while (first_pref < count && (lines[first_pref].empty() || lines[first_pref][0] != 'u')) {
    ++first_pref;
  }
  const std::optional<std::size_t> account_list = scan.FindLine(kAccountListKey, first_pref);
  const std::optional<std::size_t> default_account =
      account_list ? scan.FindLine(kDefaultAccountPrefix, *account_list + 1) : std::nullopt;
  const std::optional<std::size_t> smtp_list = scan.FindLine(Quoted(kSmtpListKey));

  Content out(lines);
  // Every copied line passes here: the outgoing-server list, wherever it
  // stands, gets the new server appended.
  auto copy = [&](std::size_t from, std::size_t to) {
    if (smtp_list && *smtp_list >= from && *smtp_list < to) {
      out.Lines(lines, from, *smtp_list);
      out.Line(BarePref(kSmtpListKey,
                        Quoted(Appended(TextValueOf(lines[*smtp_list], kSmtpListKey), smtp))));
      from = *smtp_list + 1;
    }
    out.Lines(lines, from, to);
  };

  copy(0, first_pref);
  out.Line(TextPref("mail.account.account" + a + ".identities", "id" + i));
  out.Line(TextPref("mail.account.account" + a + ".server", "server" + s));
  std::size_t next = first_pref;
  if (account_list) {
    copy(next, *account_list);
    out.Line(BarePref(kAccountListKey,
                      Quoted(Appended(OldAccountList(lines[*account_list]), "account" + a))));
    next = *account_list + 1;
  }
  if (default_account) {
    copy(next, *default_account);
    if (account.make_default) {
      out.Line(TextPref("mail.accountmanager.defaultaccount", "account" + a));
    } else {
      out.Line(lines[*default_account]);
    }
    next = *default_account + 1;
  } else {
    copy(next, count);
    next = count;
    // Without an account list the new account would stay invisible.
    if (!account_list) out.Line(TextPref(kAccountListKey, "account" + a));
    if (account.make_default) {
      out.Line(TextPref("mail.accountmanager.defaultaccount", "account" + a));
    }
  }

  const std::vector<std::string> block = FreshBlock(v, {a, i, s, smtp});
  for (std::size_t row = 4; row < 13; ++row) out.Line(block[row]);  // fullName .. port
  out.Line(BarePref("mail.server.server" + s + ".socketType", v.socket_type));
  out.Line(block[13]);  // useremail
  if (account.local_folders) {
    out.Line(block[14]);
    out.Line(block[15]);
  } else {
    std::string folder_address = v.address;
    const std::size_t at = folder_address.find('@');
    if (at != std::string::npos) folder_address.replace(at, 1, "%40");
    const std::string mailbox =
        "mailbox://" + folder_address + "@" + v.servers.incoming_host;
    out.Line(TextPref("mail.identity.id" + i + ".draft_folder", mailbox + "/Drafts"));
    out.Line(TextPref("mail.identity.id" + i + ".fcc_folder", mailbox + "/Sent"));
  }
  // The account's own outgoing server; the servers of the other accounts
  // stay as they are.
  for (std::size_t row = 16; row < 21; ++row) out.Line(block[row]);
  if (!smtp_list) out.Line(TextPref(kSmtpListKey, smtp));
  copy(next, count);
  return out.Take();
}

namespace {

// The first line holding the identities of `identity`: the designation must
// end there, so id1 does not match id12.
std::optional<std::size_t> FindIdentitiesLine(const PrefsLines& lines, std::string_view identity) {
  const std::string text = Key(".identities\", \"id", identity, "");
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    for (std::size_t at = line.find(text); at != std::string_view::npos;
         at = line.find(text, at + 1)) {
      const std::size_t end = at + text.size();
      if (end >= line.size() || line[end] == '"' || line[end] == ',') return n;
    }
  }
  return std::nullopt;
}

// The outgoing server an identity without its own uses: the default one, as
// long as the file holds lines of it.
std::string DefaultSmtpDesignation(const PrefsScanner& scan, const PrefsLines& lines) {
  const std::optional<std::size_t> line = scan.FindLine(Quoted(kDefaultSmtpKey));
  if (!line) return "";
  const std::string_view name = TextValueOf(lines[*line], kDefaultSmtpKey);
  if (name.size() <= 4 || name.substr(0, 4) != "smtp") return "";
  if (!scan.FindLine(Key("mail.smtpserver.", name, "."))) return "";
  return std::string(name.substr(4));
}

}  // namespace

std::string ResetContent(const PrefsLines& lines, const AccountValues& v,
                         std::string_view identity, bool make_default, Designations& names) {
  const PrefsScanner scan(lines);
  Content out(lines);
  names = {"0", std::string(identity), "", ""};
  const std::optional<std::size_t> identities = FindIdentitiesLine(lines, identity);
  if (!identities) {
    out.Lines(lines, 0, lines.size());
    return out.Take();
  }
  out.Lines(lines, 0, *identities + 1);
  std::size_t next = *identities + 1;

  // The account's server line is taken to follow its identities line.
  std::string account_number = "0";
  std::string server;
  if (next < lines.size()) {
    const std::string_view line = lines[next++];
    constexpr std::string_view kServerText = ".server\", \"server";
    const std::size_t at = line.find(kServerText);
    const std::size_t key = line.find(kAccountKey);
    if (at != std::string_view::npos) {
      const std::size_t start = at + kServerText.size();
      const std::size_t end = line.find("\");", start);
      server = std::string(line.substr(start, (end == std::string_view::npos ? line.size() : end) - start));
      if (key != std::string_view::npos && key + kAccountKey.size() <= at) {
        const std::size_t number = key + kAccountKey.size();
        account_number = std::to_string(IntegerValue(line.substr(number, at - number)));
      }
    }
    out.Line(line);
  }

  const std::string id_key = Key("mail.identity.id", identity, "");
  const std::string full_name = id_key + ".fullName";
  const std::string smtp_server = id_key + ".smtpServer";
  // An identity without its own outgoing server sends through the default one.
  std::string w = scan.FindLine(smtp_server) ? "" : DefaultSmtpDesignation(scan, lines);
  const std::string server_key = "mail.server.server" + server;
  struct ServerRule {
    std::string key;
    std::string line;
  };
  std::vector<ServerRule> server_rules;
  if (!server.empty()) {
    server_rules = {
        {server_key + ".hostname", TextPref(server_key + ".hostname", v.servers.incoming_host)},
        {server_key + ".realhostname", TextPref(server_key + ".realhostname", v.servers.incoming_host)},
        {server_key + ".login_at_startup", BarePref(server_key + ".login_at_startup", "true")},
        {server_key + ".type", TextPref(server_key + ".type", "pop3")},
        {server_key + ".port", BarePref(server_key + ".port", v.servers.incoming_port)},
        {server_key + ".socketType", BarePref(server_key + ".socketType", v.socket_type)},
        {server_key + ".userName", TextPref(server_key + ".userName", v.address)},
    };
  }
  bool auth_seen = false, port_seen = false, try_ssl_seen = false;

  for (; next < lines.size(); ++next) {
    const std::string_view line = lines[next];
    bool wrote = false;
    auto write = [&](const std::string& text) {
      out.Line(text);
      wrote = true;
    };
    if (make_default && line.find(kDefaultAccountPrefix) != std::string_view::npos) {
      write(TextPref("mail.accountmanager.defaultaccount", "account" + account_number));
    }
    if (line.find(full_name) != std::string_view::npos) {
      write(TextPref(full_name, v.display_name));
    }
    const std::size_t smtp_at = line.find(smtp_server);
    if (smtp_at != std::string_view::npos) {
      // The line names the outgoing server: smtpServer", "smtp<W>");
      const std::size_t from = smtp_at + id_key.size() + 19;
      w = (from + 3 <= line.size()) ? std::string(line.substr(from, line.size() - 3 - from)) : "";
    }
    for (const ServerRule& rule : server_rules) {
      if (line.find(rule.key) != std::string_view::npos) write(rule.line);
    }
    if (!w.empty()) {
      const std::string smtp = "mail.smtpserver.smtp" + w;
      if (line.find(smtp + ".hostname") != std::string_view::npos) {
        write(TextPref(smtp + ".hostname", v.servers.outgoing_host));
      }
      if (line.find(smtp + ".realhostname") != std::string_view::npos) {
        write(TextPref(smtp + ".realhostname", v.servers.outgoing_host));
      }
      if (line.find(smtp + ".username") != std::string_view::npos) {
        write(TextPref(smtp + ".username", v.address));
      }
      if (line.find(smtp + ".auth_method") != std::string_view::npos) {
        write(BarePref(smtp + ".auth_method", 1));
        auth_seen = true;
      }
      if (line.find(smtp + ".port") != std::string_view::npos) {
        write(BarePref(smtp + ".port", v.servers.outgoing_port));
        port_seen = true;
      }
      if (line.find(smtp + ".try_ssl") != std::string_view::npos) {
        write(BarePref(smtp + ".try_ssl", v.socket_type));
        try_ssl_seen = true;
      }
    }
    if (!wrote) out.Line(line);
  }

  // Settings the outgoing server lacked; never for an unnamed server.
  if (!w.empty()) {
    const std::string smtp = "mail.smtpserver.smtp" + w;
    if (!auth_seen) out.Line(BarePref(smtp + ".auth_method", 1));
    if (!port_seen) out.Line(BarePref(smtp + ".port", v.servers.outgoing_port));
    if (!try_ssl_seen) out.Line(BarePref(smtp + ".try_ssl", v.socket_type));
  }
  names = {account_number, std::string(identity), server, w.empty() ? "" : "smtp" + w};
  return out.Take();
}

}  // namespace quillbank::thunderbird
