#include "clients/files/thunderbird_rewrite.h"

#include <optional>
#include <utility>

#include "env/run_log.h"

namespace quillbank::thunderbird {
namespace {

constexpr const char* kLocalDrafts = "mailbox://nobody@Local%20Folders/Drafts";
constexpr const char* kLocalSent = "mailbox://nobody@Local%20Folders/Sent";

// Collects the new file: lines the program writes, each followed by CR LF,
// and lines of the old file, copied with their own bytes and line ends.
class Content {
 public:
  explicit Content(const PrefsLines& lines) {
    std::size_t size = 4096;
    for (const std::string_view line : lines) size += line.size();
    text_.reserve(size);
  }
  void Line(std::string_view line) {
    EndOpenLine();
    text_.append(line).append(RunLog::kLineEnd);
  }
  void Copy(std::string_view line) {
    EndOpenLine();
    text_.append(line);
  }
  // Lines [from, to) of `lines`, which are cut from one text in order, so
  // they are copied in one piece.
  void Lines(const PrefsLines& lines, std::size_t from, std::size_t to) {
    if (from >= to) return;
    const char* start = lines[from].data();
    const char* end = lines[to - 1].data() + lines[to - 1].size();
    Copy(std::string_view(start, static_cast<std::size_t>(end - start)));
  }
  std::string Take() { return std::move(text_); }

 private:
  // A last old line without a line end gets one before anything follows it.
  void EndOpenLine() {
    if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') {
      text_.append(RunLog::kLineEnd);
    }
  }

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

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
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
      TextPref(kDefaultAccountKey, "account" + n.account),
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

// The value of a list that only a line holding several calls sets (such a
// line is never matched and stays as it is). Thunderbird takes the last value
// it reads, so the run writes the whole list again after that line.
std::optional<std::string_view> ListSetInASharedLine(const PrefsLines& lines,
                                                     std::string_view key) {
  std::optional<std::string_view> found;
  const std::string quoted_key = Quoted(key);
  for (const std::string_view line : lines) {
    if (line.find(quoted_key) == std::string_view::npos || ParsePref(line)) continue;
    for (std::size_t call = line.find("user_pref"); call != std::string_view::npos;
         call = line.find("user_pref", call + 1)) {
      const std::size_t end = line.find(';', call);
      if (end == std::string_view::npos) break;
      const std::optional<Pref> pref = ParsePref(line.substr(call, end + 1 - call));
      if (pref && pref->key == key && pref->is_text) found = pref->value;
    }
  }
  return found;
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
  while (first_pref < count && !ParsePref(lines[first_pref])) ++first_pref;
  const std::optional<std::size_t> account_list = scan.FindPref(kAccountListKey, first_pref);
  // The default account after the list that names an account.
  std::optional<std::size_t> default_account;
  for (std::size_t from = account_list ? *account_list + 1 : count;
       (default_account = scan.FindPref(kDefaultAccountKey, from));
       from = *default_account + 1) {
    if (StartsWith(TextValueOf(lines[*default_account]), "account")) break;
  }
  const std::optional<std::size_t> smtp_list = scan.FindPref(kSmtpListKey);
  const std::optional<std::string_view> shared_accounts =
      account_list ? std::nullopt : ListSetInASharedLine(lines, kAccountListKey);
  const std::optional<std::string_view> shared_smtp =
      smtp_list ? std::nullopt : ListSetInASharedLine(lines, kSmtpListKey);

  Content out(lines);
  // Every copied line passes here: the outgoing-server list, wherever it
  // stands, gets the new server appended.
  auto copy = [&](std::size_t from, std::size_t to) {
    if (smtp_list && *smtp_list >= from && *smtp_list < to) {
      out.Lines(lines, from, *smtp_list);
      out.Line(BarePref(kSmtpListKey,
                        Quoted(Appended(TextValueOf(lines[*smtp_list]), smtp))));
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
                      Quoted(Appended(TextValueOf(lines[*account_list]), "account" + a))));
    next = *account_list + 1;
  }
  if (default_account) {
    copy(next, *default_account);
    if (account.make_default) {
      out.Line(TextPref(kDefaultAccountKey, "account" + a));
    } else {
      out.Copy(lines[*default_account]);
    }
    next = *default_account + 1;
  } else {
    copy(next, count);
    next = count;
    // Without an account list the new account would stay invisible.
    if (!account_list && !shared_accounts) out.Line(TextPref(kAccountListKey, "account" + a));
    if (account.make_default) out.Line(TextPref(kDefaultAccountKey, "account" + a));
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
  if (!smtp_list && !shared_smtp) out.Line(TextPref(kSmtpListKey, smtp));
  copy(next, count);
  if (shared_accounts) {
    out.Line(BarePref(kAccountListKey, Quoted(Appended(*shared_accounts, "account" + a))));
  }
  if (shared_smtp) out.Line(BarePref(kSmtpListKey, Quoted(Appended(*shared_smtp, smtp))));
  return out.Take();
}

namespace {

// The first line that gives an account the identity `identity` first:
// mail.account.account<N>.identities with a list that starts with it.
std::optional<std::size_t> FindIdentitiesLine(const PrefsLines& lines, std::string_view identity) {
  const std::string first = Key("id", identity, "");
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (lines[n].find(".identities") == std::string_view::npos) continue;
    const std::optional<Pref> pref = ParsePref(lines[n]);
    if (!pref || !pref->is_text || !EndsWith(pref->key, ".identities")) continue;
    if (pref->value.substr(0, pref->value.find(',')) == first) return n;
  }
  return std::nullopt;
}

// The outgoing server an identity without its own uses: the default one, as
// long as the file holds lines of it.
std::string DefaultSmtpDesignation(const PrefsScanner& scan, const PrefsLines& lines) {
  const std::optional<std::size_t> line = scan.FindPref(kDefaultSmtpKey);
  if (!line) return "";
  const std::string_view name = TextValueOf(lines[*line]);
  if (name.size() <= 4 || name.substr(0, 4) != "smtp") return "";
  if (!scan.FindPrefStartingWith(Key("mail.smtpserver.", name, "."))) return "";
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
    const std::optional<Pref> pref = ParsePref(line);
    if (pref && pref->is_text && EndsWith(pref->key, ".server") &&
        StartsWith(pref->value, "server")) {
      server = std::string(pref->value.substr(6));
      if (StartsWith(pref->key, kAccountKey)) {
        account_number = std::to_string(IntegerValue(pref->key.substr(kAccountKey.size())));
      }
    }
    out.Copy(line);
  }

  const std::string id_key = Key("mail.identity.id", identity, "");
  const std::string full_name = id_key + ".fullName";
  const std::string smtp_server = id_key + ".smtpServer";
  // An identity without its own outgoing server sends through the default one.
  std::string w = scan.FindPref(smtp_server) ? "" : DefaultSmtpDesignation(scan, lines);
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
    const std::optional<Pref> pref = ParsePref(line);
    const std::string_view key = pref ? pref->key : std::string_view();
    bool wrote = false;
    auto write = [&](const std::string& text) {
      out.Line(text);
      wrote = true;
    };
    if (make_default && key == kDefaultAccountKey && StartsWith(pref->value, "account")) {
      write(TextPref(kDefaultAccountKey, "account" + account_number));
    }
    if (key == full_name) write(TextPref(full_name, v.display_name));
    if (key == smtp_server) {
      // The line names the outgoing server: "smtp<W>".
      w = StartsWith(pref->value, "smtp") ? std::string(pref->value.substr(4)) : "";
    }
    for (const ServerRule& rule : server_rules) {
      if (key == rule.key) write(rule.line);
    }
    if (!w.empty() && pref) {
      const std::string smtp = "mail.smtpserver.smtp" + w;
      if (key == smtp + ".hostname") write(TextPref(smtp + ".hostname", v.servers.outgoing_host));
      if (key == smtp + ".realhostname") {
        write(TextPref(smtp + ".realhostname", v.servers.outgoing_host));
      }
      if (key == smtp + ".username") write(TextPref(smtp + ".username", v.address));
      if (key == smtp + ".auth_method") {
        write(BarePref(smtp + ".auth_method", 1));
        auth_seen = true;
      }
      if (key == smtp + ".port") {
        write(BarePref(smtp + ".port", v.servers.outgoing_port));
        port_seen = true;
      }
      if (key == smtp + ".try_ssl") {
        write(BarePref(smtp + ".try_ssl", v.socket_type));
        try_ssl_seen = true;
      }
    }
    if (!wrote) out.Copy(line);
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
