// Writes the provider's POP3 account into the prefs.js of the user's default
// Thunderbird profile: leaves an account with the address alone, resets it,
// adds a new account beside existing ones, or writes a fresh account set into
// a profile without accounts. prefs.js is replaced only by a complete new file.
#pragma once

#include <string>

#include "core/account_request.h"
#include "core/configurator.h"
#include "clients/files/thunderbird_rewrite.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

class ThunderbirdConfigurator final : public Configurator {
 public:
  ThunderbirdConfigurator(Platform& platform, const AccountRequest& request);

  // 0 when the account was written; 5 when an identity has the address and
  // overwrite is off; 1 when the application data folder is unknown, no
  // profile Thunderbird would open can be found, or prefs.js is there but
  // cannot be read; 7 when the profile of a first-time user or the new
  // prefs.js could not be written completely; 30 when the address or name
  // holds a control character. Every failure leaves the files as they were.
  [[nodiscard]] ConfigStatus Configure() override;

 private:
  void LogWrittenLines(const thunderbird::Designations& names);

  Platform& platform_;
  thunderbird::AccountValues values_;       // narrow text of the code page, for the log
  thunderbird::AccountValues file_values_;  // the same as UTF-8, which prefs.js holds
  bool make_default_;
  bool overwrite_existing_;
  RunLog& log_;
};

}  // namespace quillbank
