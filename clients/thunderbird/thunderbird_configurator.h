// Writes the provider's POP3 account into the prefs.js of the user's default
// Thunderbird profile: leaves an account with the address alone, resets it,
// adds a new account beside existing ones, or writes a fresh account set into
// a profile without accounts. prefs.js is replaced only by a complete new file.
// Its readers let the automatic mode copy the default account, or the first
// one holding a search text, under a prefixed name.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/client_descriptor.h"
#include "core/configurator.h"
#include "core/requested_configurator.h"
#include "clients/thunderbird/thunderbird_prefs.h"
#include "clients/thunderbird/thunderbird_readers.h"
#include "clients/thunderbird/thunderbird_rewrite.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

class ThunderbirdConfigurator final : public RequestedConfigurator {
 public:
  ThunderbirdConfigurator(Platform& platform, const AccountRequest& request,
                          const ClientSite& site);

  // 0 when the account was written; 5 when an identity has the address (in
  // the automatic mode: an incoming server has the copy's name) and
  // overwrite is off; 1 when the application data folder is unknown, no
  // profile Thunderbird would open can be found, or prefs.js is there but
  // cannot be read; 7 when the profile of a first-time user or the new
  // prefs.js could not be written completely; 30 when the address, name or
  // prefix holds a control character. Every failure leaves the files as
  // they were.
  [[nodiscard]] ConfigStatus Configure() override;

  // See thunderbird::AccountReaders; the key is the account ("account2").
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

 private:
  // The account the run looks for: the identity with the address, or in the
  // automatic mode the account whose incoming server has the copy's name.
  [[nodiscard]] std::optional<thunderbird::IdentityMatch> FindExisting(
      const thunderbird::PrefsLines& lines, const thunderbird::PrefsScanner& scan) const;
  [[nodiscard]] thunderbird::AccountReaders& Readers();
  void LogWrittenLines(const thunderbird::Designations& names);

  Platform& platform_;
  const ClientSite& site_;
  thunderbird::AccountValues values_;       // narrow text of the code page, for the log
  thunderbird::AccountValues file_values_;  // the same as UTF-8, which prefs.js holds
  std::unique_ptr<thunderbird::AccountReaders> readers_;  // made by the first reader
};

}  // namespace quillbank
