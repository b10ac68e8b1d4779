// The three ways the configurator changes prefs.js, each building the complete
// new content in memory: the fresh account set for a file without accounts, a
// new account beside existing ones, and the reset of an account in place.
// Every line that none of them recognises is copied unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/provider_servers.h"
#include "clients/thunderbird/thunderbird_prefs.h"
#include "env/text_file.h"

namespace quillbank::thunderbird {

// What the provider's account looks like, for one request.
struct AccountValues {
  AccountValues(std::string address, std::string display_name, bool use_ssl);

  std::string address;
  std::string display_name;
  // The incoming server's name, which Thunderbird shows as the account's
  // name: the address, or in the automatic mode the prefix and the address.
  std::string server_name;
  bool use_ssl;
  ServerSettings servers;
  int socket_type;  // 3 with SSL, 0 without
  // Ends every line the program writes.
  std::string_view line_end = "\r\n";
};

// The line end of the first line of `text` ("\r\n", "\n" or "\r"); none when
// the text has no line end.
[[nodiscard]] std::optional<std::string_view> FirstLineEnd(std::string_view text);

// The designations one account set uses: "2" for account2, "1" for id1, "2"
// for server2 and "smtp1" for the outgoing server.
struct Designations {
  std::string account;
  std::string identity;
  std::string server;
  std::string smtp;
};

// Each preference line the configurator writes for an account, by name.
enum class AccountPref : std::size_t {
  // The fresh account set, in the order it is written and logged.
  kIdentities,       // mail.account.account<N>.identities
  kServer,           // mail.account.account<N>.server
  kAccountList,      // mail.accountmanager.accounts
  kDefaultAccount,   // mail.accountmanager.defaultaccount
  kFullName,         // mail.identity.id<N>.fullName
  kSmtpServer,       // mail.identity.id<N>.smtpServer
  kHostname,         // mail.server.server<N>.hostname
  kLoginAtStartup,   // mail.server.server<N>.login_at_startup
  kType,             // mail.server.server<N>.type
  kUserName,         // mail.server.server<N>.userName
  kName,             // mail.server.server<N>.name
  kIsSecure,         // mail.server.server<N>.isSecure
  kPort,             // mail.server.server<N>.port
  kUserEmail,        // mail.identity.id<N>.useremail
  kDraftFolder,      // mail.identity.id<N>.draft_folder
  kFccFolder,        // mail.identity.id<N>.fcc_folder
  kSmtpAuthMethod,   // mail.smtpserver.smtp<N>.auth_method
  kSmtpPort,         // mail.smtpserver.smtp<N>.port
  kSmtpTrySsl,       // mail.smtpserver.smtp<N>.try_ssl
  kSmtpHostname,     // mail.smtpserver.smtp<N>.hostname
  kSmtpUserName,     // mail.smtpserver.smtp<N>.username
  kSmtpList,         // mail.smtpservers
  kDefaultSmtp,      // mail.smtp.defaultserver
  // Never part of the fresh set: written for an account added beside others
  // or in a reset.
  kSocketType,       // mail.server.server<N>.socketType
  kRealHostname,     // mail.server.server<N>.realhostname
  kSmtpRealHostname  // mail.smtpserver.smtp<N>.realhostname
};
inline constexpr std::size_t kFreshSetSize = 23;
inline constexpr std::size_t kAccountPrefCount = 26;

// The lines of one account with the provider's values, each with the key it
// sets, for the designations `names`.
class AccountBlock final {
 public:
  AccountBlock(const AccountValues& values, const Designations& names);

  [[nodiscard]] const std::string& Key(AccountPref pref) const { return At(pref).key; }
  [[nodiscard]] const std::string& Line(AccountPref pref) const { return At(pref).line; }
  // The fresh set: its 23 lines in order.
  [[nodiscard]] std::vector<std::string> FreshSet() const;

 private:
  struct Entry {
    std::string key;
    std::string line;
  };
  [[nodiscard]] const Entry& At(AccountPref pref) const {
    return entries_[static_cast<std::size_t>(pref)];
  }
  void Text(AccountPref pref, std::string key, std::string_view text);
  void Bare(AccountPref pref, std::string key, std::string_view value);

  std::array<Entry, kAccountPrefCount> entries_;
};

// The 23 lines of a fresh account set, also the block the log lists.
[[nodiscard]] std::vector<std::string> FreshBlock(const AccountValues& values,
                                                  const Designations& names);

// The lines of a file that holds no account (or no file at all: no lines),
// followed by the fresh block for account2, id1, server2 and smtp1.
[[nodiscard]] PiecedText FreshContent(const PrefsLines& lines, const AccountValues& values);

// A new account, identity, incoming server and outgoing server added to a file
// that has accounts.
struct NewAccount {
  int account;
  int identity;
  int server;
  int smtp;
  bool local_folders;
  bool make_default;
};
[[nodiscard]] PiecedText NewAccountContent(const PrefsLines& lines, const AccountValues& values,
                                            const NewAccount& account);

// The reset of the account whose identity is `identity`. `names` receives the
// designations the reset found (account, identity, server and the outgoing
// server it rewrote, "" when none).
[[nodiscard]] PiecedText ResetContent(const PrefsLines& lines, const AccountValues& values,
                                       std::string_view identity, bool make_default,
                                       Designations& names);

}  // namespace quillbank::thunderbird
