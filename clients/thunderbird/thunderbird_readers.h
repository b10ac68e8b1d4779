// What the automatic mode reads from Thunderbird: the default account, the
// first account whose address holds a search text, and an account's address
// and display name, from the prefs.js of the profile Thunderbird opens.
// Reading never creates anything: a user without a profile has no accounts.
//
// An account is named as prefs.js names it ("account2"). Only accounts of
// mail.accountmanager.accounts whose server type is not "none" (Local
// Folders) count. An account's address and name are the useremail and
// fullName of its first identity, turned from prefs.js's UTF-8 into the code
// page. Each read logs one line: "<Reader> Result (<what was read>): <value>",
// with "*ERROR*" for a value that could not be read. prefs.js is read once,
// by the first reader, whose line follows the profile lookup's own line (the
// profile taken, or why there is none).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "clients/thunderbird/thunderbird_accounts.h"
#include "core/client_descriptor.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace thunderbird {

class AccountReaders final {
 public:
  AccountReaders(Platform& platform, const ClientSite& site, RunLog& log)
      : platform_(platform), site_(site), log_(log) {}
  AccountReaders(const AccountReaders&) = delete;
  AccountReaders& operator=(const AccountReaders&) = delete;

  // mail.accountmanager.defaultaccount; without that line, the first account
  // that holds mail.
  [[nodiscard]] std::optional<std::string> DefaultAccount();
  // The first account, in the order of the list, whose address contains
  // `text` (see AddressMatches).
  [[nodiscard]] std::optional<std::string> FindByAddress(const std::string& text);
  // None for an account that is not listed, holds no mail or has no
  // identity; also for an empty address, or one the code page cannot hold.
  [[nodiscard]] std::optional<std::string> Address(const std::optional<std::string>& account);
  // Like Address, but a missing fullName is an empty name.
  [[nodiscard]] std::optional<std::string> DisplayName(const std::optional<std::string>& account);

 private:
  // What was read of one field of an account's first identity.
  struct IdentityValue {
    std::string source;                    // "useremail of id2", for the log line
    bool has_identity = false;             // the account holds mail and has an identity
    std::optional<std::string_view> text;  // the field's text as prefs.js holds it
  };

  [[nodiscard]] std::optional<std::string> Address(const std::optional<std::string>& account,
                                                   bool logged);
  // The profile's accounts, read once; null when prefs.js cannot be read.
  [[nodiscard]] const AccountList* Accounts();
  // A text value of prefs.js as narrow text; none when it cannot be.
  [[nodiscard]] std::optional<std::string> Narrow(std::string_view body) const;
  [[nodiscard]] IdentityValue ReadIdentity(const std::optional<std::string>& account,
                                           std::string_view field);
  void LogResult(std::string_view reader, std::string_view source,
                 const std::optional<std::string>& value);

  Platform& platform_;
  const ClientSite& site_;
  RunLog& log_;
  bool loaded_ = false;
  std::string text_;  // prefs.js as read; the lines and the list point into it
  PrefsLines lines_;
  std::unique_ptr<AccountList> accounts_;
};

}  // namespace thunderbird
}  // namespace quillbank
