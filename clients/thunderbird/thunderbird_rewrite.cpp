#include "clients/thunderbird/thunderbird_rewrite.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/ascii_text.h"
#include "env/run_log.h"

namespace quillbank::thunderbird {
namespace {

constexpr const char* kLocalDrafts = "mailbox://nobody@Local%20Folders/Drafts";
constexpr const char* kLocalSent = "mailbox://nobody@Local%20Folders/Sent";

// Collects the new file: lines the program writes, each followed by the
// chosen line end, and lines of the old file, copied with their own bytes and
// line ends.
class Content {
 public:
  explicit Content(std::string_view line_end) : line_end_(line_end) {}
  void Line(std::string_view line) {
    EndOpenLine();
    std::string text(line);
    text.append(line_end_);
    text_.Add(std::move(text));
  }
  void Copy(std::string_view line) {
    EndOpenLine();
    text_.Borrow(line);
  }
  // Lines [from, to) of `lines`, which are cut from one text in order, so
  // they are copied in one piece.
  void Lines(const PrefsLines& lines, std::size_t from, std::size_t to) {
    if (from >= to) return;
    const char* start = lines[from].data();
    const char* end = lines[to - 1].data() + lines[to - 1].size();
    Copy(std::string_view(start, static_cast<std::size_t>(end - start)));
  }
  PiecedText Take() { return std::move(text_); }

 private:
  // A last old line without a line end gets one before anything follows it.
  void EndOpenLine() {
    if (!text_.Empty() && text_.Back() != '\n' && text_.Back() != '\r') {
      text_.Add(std::string(line_end_));
    }
  }

  std::string_view line_end_;
  PiecedText text_;
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

}  // namespace

AccountValues::AccountValues(std::string address_in, std::string display_name_in, bool use_ssl_in)
    : address(std::move(address_in)),
      display_name(std::move(display_name_in)),
      server_name(address),
      use_ssl(use_ssl_in),
      servers(ServersFor(use_ssl_in)),
      socket_type(use_ssl_in ? 3 : 0) {}

AccountBlock::AccountBlock(const AccountValues& v, const Designations& n) {
  using P = AccountPref;
  const std::string account = std::string(kAccountKey) + n.account;
  const std::string identity = std::string(kIdentityKey) + n.identity;
  const std::string server = std::string(kServerKey) + n.server;
  const std::string smtp = "mail.smtpserver." + n.smtp;
  Text(P::kIdentities, account + ".identities", "id" + n.identity);
  Text(P::kServer, account + ".server", "server" + n.server);
  Text(P::kAccountList, std::string(kAccountListKey), "account" + n.account);
  Text(P::kDefaultAccount, std::string(kDefaultAccountKey), "account" + n.account);
  Text(P::kFullName, identity + ".fullName", v.display_name);
  Text(P::kSmtpServer, identity + ".smtpServer", n.smtp);
  Text(P::kHostname, server + ".hostname", v.servers.incoming_host);
  Bare(P::kLoginAtStartup, server + ".login_at_startup", "true");
  Text(P::kType, server + ".type", "pop3");
  Text(P::kUserName, server + ".userName", v.address);
  Text(P::kName, server + ".name", v.server_name);
  // Thunderbird takes isSecure true as "connect with SSL".
  Bare(P::kIsSecure, server + ".isSecure", v.use_ssl ? "true" : "false");
  Bare(P::kPort, server + ".port", std::to_string(v.servers.incoming_port));
  Text(P::kUserEmail, identity + ".useremail", v.address);
  Text(P::kDraftFolder, identity + ".draft_folder", kLocalDrafts);
  Text(P::kFccFolder, identity + ".fcc_folder", kLocalSent);
  Bare(P::kSmtpAuthMethod, smtp + ".auth_method", "1");
  Bare(P::kSmtpPort, smtp + ".port", std::to_string(v.servers.outgoing_port));
  Bare(P::kSmtpTrySsl, smtp + ".try_ssl", std::to_string(v.socket_type));
  Text(P::kSmtpHostname, smtp + ".hostname", v.servers.outgoing_host);
  Text(P::kSmtpUserName, smtp + ".username", v.address);
  Text(P::kSmtpList, std::string(kSmtpListKey), n.smtp);
  Text(P::kDefaultSmtp, std::string(kDefaultSmtpKey), n.smtp);
  Bare(P::kSocketType, server + ".socketType", std::to_string(v.socket_type));
  Text(P::kRealHostname, server + ".realhostname", v.servers.incoming_host);
  Text(P::kSmtpRealHostname, smtp + ".realhostname", v.servers.outgoing_host);
}

void AccountBlock::Text(AccountPref pref, std::string key, std::string_view text) {
  std::string line = TextPref(key, text);
  entries_[static_cast<std::size_t>(pref)] = {std::move(key), std::move(line)};
}

void AccountBlock::Bare(AccountPref pref, std::string key, std::string_view value) {
  std::string line = BarePref(key, value);
  entries_[static_cast<std::size_t>(pref)] = {std::move(key), std::move(line)};
}

std::vector<std::string> AccountBlock::FreshSet() const {
  std::vector<std::string> lines;
  lines.reserve(kFreshSetSize);
  for (std::size_t n = 0; n < kFreshSetSize; ++n) lines.push_back(entries_[n].line);
  return lines;
}

std::vector<std::string> FreshBlock(const AccountValues& values, const Designations& names) {
  return AccountBlock(values, names).FreshSet();
}

PiecedText FreshContent(const PrefsLines& lines, const AccountValues& values) {
  // Lines of a file without accounts stay, ahead of the fresh set, so that a
  // value of the fresh set wins over an old one of the same key.
  Content out(values.line_end);
  out.Lines(lines, 0, lines.size());
  for (const std::string& line : FreshBlock(values, {"2", "1", "2", "smtp1"})) out.Line(line);
  return out.Take();
}

namespace {

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

// The lines of the old file that a new account changes or writes next to,
// found before anything is written.
struct NewAccountPlaces {
  std::size_t first_pref = 0;
  std::optional<std::size_t> account_list;
  std::optional<std::size_t> default_account;  // after the list, naming an account
  std::optional<std::size_t> smtp_list;
  // The lists when only a line of several calls sets them.
  std::optional<std::string_view> shared_accounts;
  std::optional<std::string_view> shared_smtp;
};

NewAccountPlaces FindNewAccountPlaces(const PrefsLines& lines) {
  const PrefsScanner scan(lines);
  NewAccountPlaces at;
  while (at.first_pref < lines.size() && !ParsePref(lines[at.first_pref])) ++at.first_pref;
  at.account_list = scan.FindPref(kAccountListKey, at.first_pref);
  for (std::size_t from = at.account_list ? *at.account_list + 1 : lines.size();
       (at.default_account = scan.FindPref(kDefaultAccountKey, from));
       from = *at.default_account + 1) {
    if (StartsWith(TextValueOf(lines[*at.default_account]), "account")) break;
  }
  at.smtp_list = scan.FindPref(kSmtpListKey);
  if (!at.account_list) at.shared_accounts = ListSetInASharedLine(lines, kAccountListKey);
  if (!at.smtp_list) at.shared_smtp = ListSetInASharedLine(lines, kSmtpListKey);
  return at;
}

// The identity's own settings, from its full name to its outgoing server,
// in the order a new account writes them.
constexpr AccountPref kNewServerPrefs[] = {
    AccountPref::kFullName, AccountPref::kSmtpServer, AccountPref::kHostname,
    AccountPref::kLoginAtStartup, AccountPref::kType, AccountPref::kUserName,
    AccountPref::kName, AccountPref::kIsSecure, AccountPref::kPort,
    AccountPref::kSocketType, AccountPref::kUserEmail};
constexpr AccountPref kLocalFolderPrefs[] = {AccountPref::kDraftFolder, AccountPref::kFccFolder};
// The account's own outgoing server; the servers of the other accounts stay
// as they are.
constexpr AccountPref kNewSmtpPrefs[] = {
    AccountPref::kSmtpAuthMethod, AccountPref::kSmtpPort, AccountPref::kSmtpTrySsl,
    AccountPref::kSmtpHostname, AccountPref::kSmtpUserName};

// Writes the file with a new account: the account's lines go in at the
// places found, and every copied line passes the outgoing-server list, which
// gets the new server appended wherever it stands.
class NewAccountWriter final {
 public:
  NewAccountWriter(const PrefsLines& lines, const NewAccountPlaces& at, const AccountValues& v,
                   const NewAccount& account)
      : lines_(lines),
        at_(at),
        values_(v),
        account_(account),
        names_{std::to_string(account.account), std::to_string(account.identity),
               std::to_string(account.server), "smtp" + std::to_string(account.smtp)},
        block_(v, names_),
        out_(v.line_end) {}

  PiecedText Build() {
    Copy(0, at_.first_pref);
    Put(AccountPref::kIdentities);
    Put(AccountPref::kServer);
    const std::size_t next = WriteListAndDefault();
    for (const AccountPref pref : kNewServerPrefs) Put(pref);
    WriteFolders();
    for (const AccountPref pref : kNewSmtpPrefs) Put(pref);
    if (!at_.smtp_list && !at_.shared_smtp) Put(AccountPref::kSmtpList);
    Copy(next, lines_.size());
    WriteSharedLists();
    return out_.Take();
  }

 private:
  // Lines [from, to) of the old file.
  void Copy(std::size_t from, std::size_t to) {
    if (at_.smtp_list && *at_.smtp_list >= from && *at_.smtp_list < to) {
      out_.Lines(lines_, from, *at_.smtp_list);
      out_.Line(ListWithNew(kSmtpListKey, TextValueOf(lines_[*at_.smtp_list]), names_.smtp));
      from = *at_.smtp_list + 1;
    }
    out_.Lines(lines_, from, to);
  }

  void Put(AccountPref pref) { out_.Line(block_.Line(pref)); }

  // The account list with the new account, and the default account; returns
  // the first old line not yet written.
  std::size_t WriteListAndDefault() {
    std::size_t next = at_.first_pref;
    if (at_.account_list) {
      Copy(next, *at_.account_list);
      out_.Line(ListWithNew(kAccountListKey, TextValueOf(lines_[*at_.account_list]), Account()));
      next = *at_.account_list + 1;
    }
    if (at_.default_account) {
      Copy(next, *at_.default_account);
      if (account_.make_default) {
        Put(AccountPref::kDefaultAccount);
      } else {
        out_.Copy(lines_[*at_.default_account]);
      }
      return *at_.default_account + 1;
    }
    Copy(next, lines_.size());
    // Without an account list the new account would stay invisible.
    if (!at_.account_list && !at_.shared_accounts) Put(AccountPref::kAccountList);
    if (account_.make_default) Put(AccountPref::kDefaultAccount);
    return lines_.size();
  }

  // Drafts and sent mail go where the other identities keep theirs: Local
  // Folders, or the account's own mailbox.
  void WriteFolders() {
    if (account_.local_folders) {
      for (const AccountPref pref : kLocalFolderPrefs) Put(pref);
      return;
    }
    std::string folder_address = values_.address;
    const std::size_t at = folder_address.find('@');
    if (at != std::string::npos) folder_address.replace(at, 1, "%40");
    const std::string mailbox = "mailbox://" + folder_address + "@" + values_.servers.incoming_host;
    out_.Line(TextPref(block_.Key(AccountPref::kDraftFolder), mailbox + "/Drafts"));
    out_.Line(TextPref(block_.Key(AccountPref::kFccFolder), mailbox + "/Sent"));
  }

  // Lists only a line of several calls sets are written again after all
  // old lines, so that the value with the new account is the one that counts.
  void WriteSharedLists() {
    if (at_.shared_accounts) out_.Line(ListWithNew(kAccountListKey, *at_.shared_accounts, Account()));
    if (at_.shared_smtp) out_.Line(ListWithNew(kSmtpListKey, *at_.shared_smtp, names_.smtp));
  }

  [[nodiscard]] std::string Account() const { return "account" + names_.account; }

  [[nodiscard]] static std::string ListWithNew(std::string_view key, std::string_view list,
                                               std::string_view item) {
    return BarePref(key, Quoted(Appended(list, item)));
  }

  const PrefsLines& lines_;
  const NewAccountPlaces& at_;
  const AccountValues& values_;
  const NewAccount& account_;
  const Designations names_;
  const AccountBlock block_;
  Content out_;
};

}  // namespace

std::optional<std::string_view> FirstLineEnd(std::string_view text) {
  const std::size_t end = text.find_first_of("\r\n");
  if (end == std::string_view::npos) return std::nullopt;
  if (text[end] == '\n') return "\n";
  return text.substr(end + 1, 1) == "\n" ? "\r\n" : "\r";
}

PiecedText NewAccountContent(const PrefsLines& lines, const AccountValues& v,
                              const NewAccount& account) {
  const NewAccountPlaces at = FindNewAccountPlaces(lines);
  return NewAccountWriter(lines, at, v, account).Build();
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

// The account and incoming server named by the line that is taken to follow
// an account's identities line: mail.account.account<N>.server "server<S>".
// The account is "0" and the server "" when the line names none.
void ReadAccountServer(std::string_view line, Designations& names) {
  const std::optional<Pref> pref = ParsePref(line);
  if (!pref || !pref->is_text || !EndsWith(pref->key, ".server") ||
      !StartsWith(pref->value, "server")) {
    return;
  }
  names.server = std::string(pref->value.substr(6));
  if (StartsWith(pref->key, kAccountKey)) {
    names.account = std::to_string(IntegerValue(pref->key.substr(kAccountKey.size())));
  }
}

// The outgoing server an identity without its own uses: the default one, as
// long as the file holds lines of it.
std::string DefaultSmtpDesignation(const PrefsScanner& scan, const PrefsLines& lines) {
  const std::optional<std::size_t> line = scan.FindPref(kDefaultSmtpKey);
  if (!line) return "";
  const std::string_view name = TextValueOf(lines[*line]);
  if (name.size() <= 4 || name.substr(0, 4) != "smtp") return "";
  if (!scan.FindPrefStartingWith(Key("mail.smtpserver.", name, "."))) return "";
  return std::string(name);
}

// The settings of the account's incoming server that a reset replaces.
constexpr AccountPref kServerResets[] = {
    AccountPref::kHostname, AccountPref::kRealHostname, AccountPref::kLoginAtStartup,
    AccountPref::kType,     AccountPref::kPort,         AccountPref::kSocketType,
    AccountPref::kUserName};
// The settings of its outgoing server that a reset replaces.
constexpr AccountPref kSmtpResets[] = {
    AccountPref::kSmtpHostname, AccountPref::kSmtpRealHostname, AccountPref::kSmtpUserName,
    AccountPref::kSmtpAuthMethod, AccountPref::kSmtpPort, AccountPref::kSmtpTrySsl};
// The outgoing server's settings a reset adds when the file lacks them.
constexpr AccountPref kSmtpRequired[] = {AccountPref::kSmtpAuthMethod, AccountPref::kSmtpPort,
                                         AccountPref::kSmtpTrySsl};

// Decides, line by line, which lines of the account a reset replaces. The
// outgoing server is the identity's own once its smtpServer line has been
// read; before that (or without one) it is the default server.
class ResetRules final {
 public:
  ResetRules(const AccountValues& values, Designations names, bool make_default)
      : values_(values),
        names_(std::move(names)),
        make_default_(make_default),
        block_(values_, names_),
        smtp_server_key_(block_.Key(AccountPref::kSmtpServer)) {}

  // The line that takes the place of `pref`, none to keep the line.
  [[nodiscard]] const std::string* Replacement(const Pref& pref) {
    if (pref.key == smtp_server_key_) {
      // The line names the outgoing server: "smtp<W>"; anything else names none.
      UseSmtp(pref.value.size() > 4 && StartsWith(pref.value, "smtp") ? std::string(pref.value)
                                                                      : "");
    }
    const std::optional<AccountPref> match = Match(pref);
    if (!match) return nullptr;
    replaced_[static_cast<std::size_t>(*match)] = true;
    return &block_.Line(*match);
  }

  // Settings the outgoing server lacked; never for an unnamed server.
  [[nodiscard]] std::vector<std::string> MissingLines() const {
    std::vector<std::string> missing;
    if (names_.smtp.empty()) return missing;
    for (const AccountPref pref : kSmtpRequired) {
      if (!replaced_[static_cast<std::size_t>(pref)]) missing.push_back(block_.Line(pref));
    }
    return missing;
  }

  [[nodiscard]] const Designations& Names() const { return names_; }

 private:
  [[nodiscard]] std::optional<AccountPref> Match(const Pref& pref) const {
    if (make_default_ && pref.key == kDefaultAccountKey && StartsWith(pref.value, "account")) {
      return AccountPref::kDefaultAccount;
    }
    if (pref.key == block_.Key(AccountPref::kFullName)) return AccountPref::kFullName;
    if (!names_.server.empty()) {
      for (const AccountPref rule : kServerResets) {
        if (pref.key == block_.Key(rule)) return rule;
      }
    }
    if (!names_.smtp.empty()) {
      for (const AccountPref rule : kSmtpResets) {
        if (pref.key == block_.Key(rule)) return rule;
      }
    }
    return std::nullopt;
  }

  void UseSmtp(std::string smtp) {
    if (smtp == names_.smtp) return;
    names_.smtp = std::move(smtp);
    block_ = AccountBlock(values_, names_);
  }

  const AccountValues& values_;
  Designations names_;
  const bool make_default_;
  AccountBlock block_;
  const std::string smtp_server_key_;
  // Which settings a line of the file held; those the outgoing server lacks
  // are added at the end.
  std::array<bool, kAccountPrefCount> replaced_{};
};

// The old lines from `first` on, each replaced when the rules say so;
// unchanged runs are copied in one piece.
void WriteReset(const PrefsLines& lines, std::size_t first, ResetRules& rules, Content& out) {
  std::size_t run = first;
  for (std::size_t n = first; n < lines.size(); ++n) {
    const std::optional<Pref> pref = ParsePref(lines[n]);
    const std::string* replacement = pref ? rules.Replacement(*pref) : nullptr;
    if (!replacement) continue;
    out.Lines(lines, run, n);
    out.Line(*replacement);
    run = n + 1;
  }
  out.Lines(lines, run, lines.size());
  for (const std::string& line : rules.MissingLines()) out.Line(line);
}

}  // namespace

PiecedText ResetContent(const PrefsLines& lines, const AccountValues& v,
                         std::string_view identity, bool make_default, Designations& names) {
  names = {"0", std::string(identity), "", ""};
  Content out(v.line_end);
  const std::optional<std::size_t> identities = FindIdentitiesLine(lines, identity);
  if (!identities) {
    out.Lines(lines, 0, lines.size());
    return out.Take();
  }
  // The identities line and the server line after it stay as they are.
  const std::size_t server_line = *identities + 1;
  if (server_line < lines.size()) ReadAccountServer(lines[server_line], names);
  const PrefsScanner scan(lines);
  // An identity without its own outgoing server sends through the default one.
  if (!scan.FindPref(Key(kIdentityKey, identity, ".smtpServer"))) {
    names.smtp = DefaultSmtpDesignation(scan, lines);
  }
  ResetRules rules(v, names, make_default);
  const std::size_t first = std::min(server_line + 1, lines.size());
  out.Lines(lines, 0, first);
  WriteReset(lines, first, rules, out);
  names = rules.Names();
  return out.Take();
}

}  // namespace quillbank::thunderbird
