// Outlook Express keeps its accounts in the registry of the current user,
// below "Software\Microsoft\Internet Account Manager\Accounts\". This
// configurator finds the account with the requested address, then leaves it
// alone, resets it or creates it, and makes it the default account when asked
// (or when it is the store's first account). Its readers let the automatic
// mode copy the default account, or the first one holding a search text.
#pragma once

#include "clients/account_store/account_store.h"

namespace quillbank {

namespace outlook {
inline constexpr const char* kExpressStorePath = "Software\\Microsoft\\Internet Account Manager\\";
inline constexpr const char* kExpressAccountsPath =
    "Software\\Microsoft\\Internet Account Manager\\Accounts\\";
// Where the Outlook Express store lives, which values it takes and how its
// log lines read.
[[nodiscard]] const AccountStoreLayout& ExpressLayout();
}  // namespace outlook

class OutlookExpressConfigurator final : public outlook::AccountStoreConfigurator {
 public:
  OutlookExpressConfigurator(Platform& platform, const AccountRequest& request);

  // 0 written; 1 the accounts key is missing or unreadable (nothing written);
  // 5 an account with the address exists and overwrite is off; 6 the
  // automatic-mode account exists and overwrite is off; 7 a write failed
  // (every value put back); 30 the account name cannot be a registry key
  // (nothing written).
  [[nodiscard]] ConfigStatus Configure() override;
};

}  // namespace quillbank
