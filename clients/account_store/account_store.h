// The registry account stores of Outlook Express and Outlook 2000 have the
// same shape: numbered or named account keys holding POP3/SMTP values below an
// "Accounts" key, and a "Default Mail Account" value naming the default key.
// AccountStoreConfigurator holds the one search-decide-write algorithm and the
// four readers; an AccountStoreLayout says, as data, where a store lives,
// which values it takes and what its log lines read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/account_request.h"
#include "core/configurator.h"
#include "clients/account_store/requested_account.h"
#include "clients/account_store/store_conventions.h"
#include "clients/common/existing_account.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace outlook {

// Whether the store's "Accounts" key must exist already (a missing store then
// means the client was never set up: status 1) or is created when missing.
enum class AccountsKey { kMustExist, kCreateWhenMissing };

// When the written account becomes the default one.
enum class DefaultRule { kWhenAskedOrStoreWasEmpty, kOnlyWhenAsked };

struct AccountStoreLayout {
  const char* store_path;     // holds "Default Mail Account"; ends in a backslash
  const char* accounts_path;  // the account keys' parent; ends in a backslash
  AccountsKey accounts_key;
  DefaultRule default_rule;
  std::vector<AccountValue> values;  // in writing (and logging) order

  // Log texts.
  const char* start_line;          // followed by an empty line
  // The search line (with the address) and the decision, which in the
  // automatic mode quits where the account exists; a reset or a new account
  // is followed by an empty line.
  AccountSearchTexts search;
  bool search_line_ends;           // false: the decision text completes the line
  bool log_each_account;           // "\tFound address: '...' at: <key path>" per account
  bool log_target_key;             // "Writing at RegKey: " + target key path
  bool readers_log_open_results;   // GetDefAcct/GetAcctAddr log their open result and value
};

// A store configurator: the algorithm over one layout, for the request
// RequestedAccount keeps. The concrete configurators supply the layout and
// their own Configure around WriteAccount.
class AccountStoreConfigurator : public RequestedAccount {
 public:
  // Readers. Each answers no value when its key cannot be opened; see the
  // definitions for a key that opens without the value.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

 protected:
  AccountStoreConfigurator(Platform& platform, const AccountRequest& request,
                           const AccountStoreLayout& layout);

  // When the account name or display name cannot be stored safely: logs why
  // and returns true. Nothing has been written then.
  bool RefuseUnsafeAccount();
  // Searches the store, decides and writes the account and the default-account
  // value, logging every step: 0, 1 (store missing), 5, 6 or 7 (a write failed;
  // every value is back as it was).
  [[nodiscard]] ConfigStatus WriteAccount();

  Platform& platform_;
  bool found_ = false;

 private:
  struct SearchResult {
    bool opened = false;
    bool matched = false;
    std::string target;  // key path the account is written at
    std::uint32_t count = 0;
  };
  SearchResult Search();
  [[nodiscard]] bool WriteValues(const std::string& target, bool make_default,
                                 std::string& failure);
  // Reads one text value of an account key for a reader: no value when the
  // key name names no single account key or the key cannot be opened (with
  // the Win32 code in `open_result`); when the value is missing or does not
  // fit 100 bytes, the empty text if `missing_is_error` is false, else no
  // value.
  std::optional<std::string> ReadAccountValue(const std::optional<std::string>& key_name,
                                              const char* value_name, bool missing_is_error,
                                              long& open_result);

  const AccountStoreLayout& layout_;
  // Every key and value the run creates or changes, to put back on failure.
  ValueJournal journal_{platform_.registry};
};

}  // namespace outlook
}  // namespace quillbank
