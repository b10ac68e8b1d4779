#include "clients/account_store/account_store.h"

#include "core/address_search.h"
#include "clients/account_store/store_conventions.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank::outlook {
namespace {

constexpr const char* kDefaultAccountValue = "Default Mail Account";
constexpr const char* kAddressValue = "SMTP Email Address";
constexpr const char* kDisplayNameValue = "SMTP Display Name";

}  // namespace

AccountStoreConfigurator::AccountStoreConfigurator(Platform& platform, const AccountRequest& request,
                                                   const AccountStoreLayout& layout)
    : RequestedAccount(request), platform_(platform), layout_(layout) {}

bool AccountStoreConfigurator::RefuseUnsafeAccount() {
  const std::string problem =
      AccountNameProblem(automatic_ ? prefix_ : std::string(), address_, display_name_);
  if (problem.empty()) return false;
  // Escaped, so that a refused name cannot break the log into lines of its own.
  *log_ << "Refusing account name '" << LogValue(AccountName()) << "': " << problem
        << ". Nothing was written." << kEndLine;
  return true;
}

// ------------------------------------------------------------------ Configure

AccountStoreConfigurator::SearchResult AccountStoreConfigurator::Search() {
  SearchResult result;
  Registry& registry = platform_.registry;
  std::unique_ptr<RegistryKey> accounts;
  const long opened =
      layout_.accounts_key == AccountsKey::kMustExist
          ? registry.Open(kStoreRoot, layout_.accounts_path, RegAccess::All, accounts)
          : journal_.CreateKey(layout_.accounts_path, accounts);
  if (opened != win32_error::kSuccess) return result;
  if (accounts->QuerySubkeyCount(result.count) != win32_error::kSuccess) {
    if (layout_.accounts_key == AccountsKey::kMustExist) return result;
    result.count = 0;  // a store that is created on demand counts as empty
  }
  result.opened = true;

  LogAccountSearch(*log_, address_, layout_.search);
  if (layout_.search_line_ends) *log_ << kEndLine;

  const std::string account_name = AccountName();
  if (automatic_) {
    // The key name is the account name. The registry holds one key per name
    // whatever its letter case, so a key differing only in case is the same
    // account and must not be written over unasked.
    for (std::uint32_t index = 0; index < result.count; ++index) {
      std::string name;
      if (accounts->EnumKey(index, kNameCapacity, name) != win32_error::kSuccess) continue;
      if (SameName(name, account_name)) found_ = true;
    }
    result.matched = found_;
    result.target = KeyPathOf(layout_.accounts_path, account_name);
    return result;
  }

  for (std::uint32_t index = 0; index < result.count && !result.matched; ++index) {
    std::string name;
    // A name that does not fit the buffer cannot be opened by name: skip it.
    if (accounts->EnumKey(index, kNameCapacity, name) != win32_error::kSuccess) continue;
    const std::string path = KeyPathOf(layout_.accounts_path, name);
    std::optional<std::string> value;
    std::unique_ptr<RegistryKey> account;
    if (registry.Open(kStoreRoot, path, RegAccess::All, account) == win32_error::kSuccess) {
      value = ReadStoreText(*account, kAddressValue);
    }
    account.reset();
    if (layout_.log_each_account) {
      *log_ << "\tFound address: '" << value.value_or("") << "' at: " << path << kEndLine;
    }
    if (value && *value == address_) {
      result.matched = true;
      result.target = path;
    }
  }
  if (!result.matched) {
    result.target = KeyPathOf(layout_.accounts_path, account_name);
    // No account holds the address with this letter case, but a key of that
    // name may exist already (its account holds the address in another case):
    // it is that account which would be written, so it counts as found.
    std::unique_ptr<RegistryKey> existing;
    if (registry.Open(kStoreRoot, result.target, RegAccess::All, existing) == win32_error::kSuccess) {
      result.matched = true;
    }
  }
  return result;
}

ConfigStatus AccountStoreConfigurator::WriteAccount() {
  *log_ << layout_.start_line << kEndLine;
  log_->EmptyLine();

  const SearchResult search = Search();
  if (!search.opened) return status::kCannotConfigure;

  const AccountDecision decision =
      DecideOnAccount(*log_, search.matched, overwrite_existing_,
                      automatic_ ? SkipAnswer::kQuit : SkipAnswer::kAlreadyExists, layout_.search);
  if (search.matched || decision.step != AccountStep::kSkip) {
    stored_as_ = search.target.substr(search.target.rfind('\\') + 1);
  }
  if (decision.step == AccountStep::kSkip) return decision.status;
  log_->EmptyLine();

  LogSettings(layout_.values);
  if (layout_.log_target_key) *log_ << "Writing at RegKey: " << search.target << kEndLine;

  const bool make_default =
      make_default_ ||
      (layout_.default_rule == DefaultRule::kWhenAskedOrStoreWasEmpty && search.count == 0);
  std::string failure;
  if (!WriteValues(search.target, make_default, failure)) {
    *log_ << failure << kEndLine;
    stored_as_.reset();
    return status::kWriteFailed;
  }
  return status::kSuccess;
}

bool AccountStoreConfigurator::WriteValues(const std::string& target, bool make_default,
                                           std::string& failure) {
  std::unique_ptr<RegistryKey> key;
  // Keys are closed before the journal deletes the ones it created.
  auto fail = [&](std::string text) {
    key.reset();
    journal_.Undo();
    failure = std::move(text);
    return false;
  };
  long result = journal_.CreateKey(target, key);
  if (result != win32_error::kSuccess) {
    return fail("Could not create the key " + target + " (error " + std::to_string(result) +
                "). Nothing was written.");
  }
  for (const AccountValue& value : layout_.values) {
    const std::string data = ValueText(value);
    result = IsText(value.source)
                 ? journal_.SetText(*key, target, value.name, data)
                 : journal_.SetDword(*key, target, value.name,
                                     static_cast<std::uint32_t>(std::stoul(data)));
    if (result != win32_error::kSuccess) {
      return fail(std::string("Could not write ") + value.name + " (error " +
                  std::to_string(result) + "). Every value was put back as it was.");
    }
  }
  if (!make_default) return true;
  // Replaced in one write: the old default stays until the new one is in.
  result = journal_.CreateKey(layout_.store_path, key);
  if (result == win32_error::kSuccess) {
    result = journal_.SetText(*key, layout_.store_path, kDefaultAccountValue, KeyNameOf(target));
  }
  if (result != win32_error::kSuccess) {
    return fail(std::string("Could not write ") + kDefaultAccountValue + " (error " +
                std::to_string(result) + "). Every value was put back as it was.");
  }
  return true;
}

// -------------------------------------------------------------------- readers

std::optional<std::string> AccountStoreConfigurator::ReadAccountValue(
    const std::optional<std::string>& key_name, const char* value_name, bool missing_is_error,
    long& open_result) {
  // No key name, or one that is empty or holds a backslash, names no account:
  // it would open the accounts key itself or a key below an account.
  if (!key_name || !IsSingleKeyName(*key_name)) {
    open_result = win32_error::kFileNotFound;
    return std::nullopt;
  }
  std::unique_ptr<RegistryKey> key;
  open_result = platform_.registry.Open(kStoreRoot, KeyPathOf(layout_.accounts_path, *key_name),
                                        RegAccess::Read, key);
  if (open_result != win32_error::kSuccess) return std::nullopt;
  const std::optional<std::string> value = ReadStoreText(*key, value_name);
  if (value && !(missing_is_error && value->empty())) return *value;
  if (missing_is_error) return std::nullopt;
  return "";
}

std::optional<std::string> AccountStoreConfigurator::GetDefAcct() {
  std::unique_ptr<RegistryKey> key;
  const long opened = platform_.registry.Open(kStoreRoot, layout_.store_path, RegAccess::Read, key);
  if (layout_.readers_log_open_results) *log_ << "GetDefAcct Test Result: " << opened << kEndLine;
  if (opened != win32_error::kSuccess) return std::nullopt;
  // Without a readable default the account cannot be named: the same answer
  // as a store without its key.
  std::optional<std::string> value = ReadStoreText(*key, kDefaultAccountValue);
  if (layout_.readers_log_open_results) {
    *log_ << "Result: " << value.value_or(kReaderError) << kEndLine;
  }
  return value;
}

std::optional<std::string> AccountStoreConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  long opened = win32_error::kSuccess;
  // An address that is missing, empty or too long for the buffer is no
  // address: it must never be copied into a new account.
  std::optional<std::string> value = ReadAccountValue(key_name, kAddressValue, true, opened);
  if (layout_.readers_log_open_results) {
    *log_ << "GetAcctAddr Test Result: " << opened << kEndLine;
    if (opened == win32_error::kSuccess) *log_ << "Result: " << value.value_or(kReaderError) << kEndLine;
  }
  return value;
}

std::optional<std::string> AccountStoreConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
  long opened = win32_error::kSuccess;
  // An account without a readable display name gets an empty one rather than
  // no name at all.
  return ReadAccountValue(key_name, kDisplayNameValue, false, opened);
}

std::optional<std::string> AccountStoreConfigurator::FindAcctByAddr(const std::string& text) {
  Registry& registry = platform_.registry;
  // Opened, never created: a reader leaves the store as it found it.
  std::unique_ptr<RegistryKey> accounts;
  std::uint32_t count = 0;
  const bool opened =
      registry.Open(kStoreRoot, layout_.accounts_path, RegAccess::Read, accounts) ==
          win32_error::kSuccess &&
      accounts->QuerySubkeyCount(count) == win32_error::kSuccess;
  // Both stores' readers word their search alike.
  LogAccountSearch(*log_, text);
  if (!opened) return std::nullopt;
  for (std::uint32_t index = 0; index < count; ++index) {
    std::string name;
    if (accounts->EnumKey(index, kNameCapacity, name) != win32_error::kSuccess) continue;
    std::unique_ptr<RegistryKey> account;
    if (registry.Open(kStoreRoot, KeyPathOf(layout_.accounts_path, name), RegAccess::Read,
                      account) != win32_error::kSuccess) {
      continue;
    }
    const std::optional<std::string> value = ReadStoreText(*account, kAddressValue);
    if (value && AddressMatches(*value, text)) return name;
  }
  return std::nullopt;
}

}  // namespace quillbank::outlook
