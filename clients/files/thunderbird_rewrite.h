// The three ways the configurator changes prefs.js, each building the complete
// new content in memory: the fresh account set for a file without accounts, a
// new account beside existing ones, and the reset of an account in place.
// Every line that none of them recognises is copied unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/provider_servers.h"
#include "clients/files/thunderbird_prefs.h"

namespace quillbank::thunderbird {

// What the provider's account looks like, for one request.
struct AccountValues {
  AccountValues(std::string address, std::string display_name, bool use_ssl);

  std::string address;
  std::string display_name;
  bool use_ssl;
  ServerSettings servers;
  int socket_type;  // 3 with SSL, 0 without
};

// The designations one account set uses: "2" for account2, "1" for id1, "2"
// for server2 and "smtp1" for the outgoing server.
struct Designations {
  std::string account;
  std::string identity;
  std::string server;
  std::string smtp;
};

// The 23 lines of a fresh account set, also the block the log lists.
[[nodiscard]] std::vector<std::string> FreshBlock(const AccountValues& values,
                                                  const Designations& names);

// The lines of a file that holds no account (or no file at all: no lines),
// followed by the fresh block for account2, id1, server2 and smtp1.
[[nodiscard]] std::string FreshContent(const PrefsLines& lines, const AccountValues& values);

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
[[nodiscard]] std::string NewAccountContent(const PrefsLines& lines, const AccountValues& values,
                                            const NewAccount& account);

// The reset of the account whose identity is `identity`. `names` receives the
// designations the reset found (account, identity, server and the outgoing
// server it rewrote, "" when none).
[[nodiscard]] std::string ResetContent(const PrefsLines& lines, const AccountValues& values,
                                       std::string_view identity, bool make_default,
                                       Designations& names);

}  // namespace quillbank::thunderbird
