// The accounts of prefs.js as Thunderbird loads them: the accounts listed in
// mail.accountmanager.accounts, each with its incoming server and identities.
// Values are read as Thunderbird reads them: when a preference is set twice,
// the last complete line counts. Account and identity names are used as
// prefs.js writes them ("account2", "id3").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clients/thunderbird/thunderbird_prefs.h"

namespace quillbank::thunderbird {

// The server type of Local Folders, which holds no mail account.
inline constexpr std::string_view kNoServerType = "none";

class AccountList final {
 public:
  // `lines` are cut from one text in order (see PrefsScanner) and outlive this.
  explicit AccountList(const PrefsLines& lines) : lines_(lines), scan_(lines) {}

  // The body of the text value the last complete line sets for `key`, its
  // escapes as written; none when no such line sets a text.
  [[nodiscard]] std::optional<std::string_view> Text(std::string_view key) const;

  // The listed accounts, in the order of the list.
  [[nodiscard]] std::vector<std::string> Listed() const;
  // The listed accounts that hold mail: those whose server type is not
  // "none". Only these can be copied.
  [[nodiscard]] std::vector<std::string> MailAccounts() const;
  [[nodiscard]] bool IsMailAccount(std::string_view account) const;

  // The account's first identity ("id2"); none when it has none.
  [[nodiscard]] std::optional<std::string> FirstIdentity(std::string_view account) const;

  // The first listed account whose incoming server's name is `name` (written
  // as prefs.js holds it, escapes included), regardless of letter case.
  [[nodiscard]] std::optional<std::string> AccountWithServerName(std::string_view name) const;

  // The first listed account whose incoming server has the type `type`, the
  // host `host` and the user name `user` (host and user written as prefs.js
  // holds them; both regardless of letter case). Thunderbird loads only one
  // account per such server and drops the others as duplicates.
  [[nodiscard]] std::optional<std::string> AccountWithServer(std::string_view type,
                                                             std::string_view host,
                                                             std::string_view user) const;

 private:
  [[nodiscard]] std::optional<std::string_view> ServerOf(std::string_view account) const;

  const PrefsLines& lines_;
  PrefsScanner scan_;
};

}  // namespace quillbank::thunderbird
