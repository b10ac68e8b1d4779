#include "clients/outlook/outlook_profile_configurator.h"

#include <algorithm>

#include "clients/outlook/outlook_profile_store.h"
#include "clients/outlook/store_conventions.h"
#include "core/address_search.h"
#include "core/provider_servers.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank {

using namespace outlook_profile;

namespace {

constexpr RegRoot kRoot = outlook::kStoreRoot;
constexpr const char* kEmailValue = "Email";
constexpr const char* kAccountNameValue = "Account Name";
constexpr const char* kDisplayNameValue = "Display Name";

// The status of a key that could not be opened: missing means Outlook has not
// set up its profiles yet.
ConfigStatus OpenFailureStatus(long result) {
  return result == win32_error::kFileNotFound ? status::kNeverStarted : status::kStoreUnreadable;
}

// The names of a key's subkeys in enumeration order; names that cannot be
// read are left out. False when the subkey count cannot be read.
bool ListSubkeys(RegistryKey& key, std::vector<std::string>& names) {
  std::uint32_t count = 0;
  if (key.QuerySubkeyCount(count) != win32_error::kSuccess) return false;
  for (std::uint32_t index = 0; index < count; ++index) {
    std::string name;
    if (key.EnumKey(index, outlook::kNameCapacity, name) == win32_error::kSuccess) {
      names.push_back(std::move(name));
    }
  }
  return true;
}

std::string AccountPath(const std::string& store_path, const std::string& key_name) {
  return store_path + key_name + "\\";
}

// One value an account gets.
struct AccountValue {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

}  // namespace

OutlookProfileConfigurator::OutlookProfileConfigurator(Platform& platform,
                                                       const AccountRequest& request)
    : platform_(platform),
      use_ssl_(request.use_ssl),
      address_(request.address),
      display_name_(request.display_name),
      make_default_(request.make_default),
      overwrite_existing_(request.overwrite_existing),
      log_(&request.log) {}

void OutlookProfileConfigurator::SetRequest(const AccountRequest& request) {
  use_ssl_ = request.use_ssl;
  address_ = request.address;
  display_name_ = request.display_name;
  make_default_ = request.make_default;
  overwrite_existing_ = request.overwrite_existing;
  log_ = &request.log;
}

std::string OutlookProfileConfigurator::AccountName() const {
  return automatic_ ? prefix_ + address_ : address_;
}

// ------------------------------------------------------------------ Configure

ConfigStatus OutlookProfileConfigurator::Configure() {
  if (AsksForProfile()) return status::kNoDefaultProfile;

  Registry& registry = platform_.registry;
  std::string profile;
  {
    std::unique_ptr<RegistryKey> profiles;
    const long opened = registry.Open(kRoot, kProfilesKey, RegAccess::All, profiles);
    if (opened != win32_error::kSuccess) return OpenFailureStatus(opened);
    profile = ReadText(*profiles, kDefaultProfileValue, outlook::kValueCapacity).value_or("");
  }

  log_->Line("Starting Outlook configuration...");
  log_->EmptyLine();

  // Without a usable default profile name the fallback profile is the only
  // candidate; a name with a backslash would reach a key below another one.
  std::string store_path = ProfileAccountPath(kFallbackProfile);
  std::unique_ptr<RegistryKey> store;
  long opened = win32_error::kFileNotFound;
  if (IsProfileName(profile)) {
    opened = registry.Open(kRoot, ProfileAccountPath(profile), RegAccess::All, store);
    if (opened == win32_error::kSuccess) store_path = ProfileAccountPath(profile);
  }
  if (opened != win32_error::kSuccess) {
    opened = registry.Open(kRoot, store_path, RegAccess::All, store);
    if (opened != win32_error::kSuccess) return OpenFailureStatus(opened);
  }

  // Values are searched with 100-byte reads: a longer name could never be
  // found again, and every later run would add one more copy of the account.
  if (address_.size() > kMaxTextLength || AccountName().size() > kMaxTextLength) {
    *log_ << "The account name '" << AccountName() << "' or the address is longer than "
          << kMaxTextLength << " characters. Nothing was written." << kEndLine;
    return status::kCannotConfigure;
  }

  *log_ << "Searching for existant " << address_ << " account ... ";
  std::vector<std::string> subkeys;
  if (!ListSubkeys(*store, subkeys)) {
    *log_ << "the account keys cannot be read." << kEndLine;
    return status::kStoreUnreadable;
  }
  const std::optional<std::string> match = Search(store_path, subkeys);
  found_ = automatic_ && match.has_value();

  std::uint32_t number = 0;
  std::optional<ListChange> change;
  if (found_ && !overwrite_existing_) {
    log_->Line(" found. Quitting.");
    return status::kAutoAccountExists;
  }
  if (match && !overwrite_existing_) {
    log_->Line(" found. No changes will be made.");
    return status::kAlreadyExists;
  }
  if (match) {
    log_->Line(" found. Reseting settings to defaults.");
    number = *AccountNumberOf(*match);
    if (make_default_) {
      change.emplace();
      if (!RebuildList(store_path, subkeys, number, *change)) return status::kCannotConfigure;
    }
  } else {
    log_->Line("not found. Creating new account.");
    change.emplace();
    if (!PlanNewAccount(*store, subkeys, number, *change)) return status::kCannotConfigure;
  }

  if (!WriteAccount(*store, store_path, number, change)) return status::kWriteFailed;
  store.reset();
  LogSettings();
  return status::kSuccess;
}

bool OutlookProfileConfigurator::AsksForProfile() {
  std::unique_ptr<RegistryKey> options;
  if (platform_.registry.Open(kRoot, kExchangeOptionsKey, RegAccess::All, options) !=
      win32_error::kSuccess) {
    return false;
  }
  RegValue value;
  if (options->QueryValue(kPickLogonProfileValue, outlook::kValueCapacity, value) !=
      win32_error::kSuccess) {
    return false;
  }
  return !value.data.empty() && value.data[0] == '1';
}

std::optional<std::string> OutlookProfileConfigurator::Search(
    const std::string& store_path, const std::vector<std::string>& subkeys) {
  // The normal mode looks for the address, the automatic mode for the
  // prefixed account name; both without regard to case.
  const char* value_name = automatic_ ? kAccountNameValue : kEmailValue;
  const std::string wanted = automatic_ ? AccountName() : address_;
  for (const std::string& name : subkeys) {
    if (!AccountNumberOf(name)) continue;
    std::unique_ptr<RegistryKey> account;
    if (platform_.registry.Open(kRoot, AccountPath(store_path, name), RegAccess::All, account) !=
        win32_error::kSuccess) {
      continue;
    }
    RegValue value;
    if (account->QueryValue(value_name, kTextValueCapacity, value) != win32_error::kSuccess) {
      continue;
    }
    bool lossless = true;
    const std::string text = DecodeText(platform_.code_page, value.data, &lossless);
    if (lossless && SameName(text, wanted)) return name;
  }
  return std::nullopt;
}

bool OutlookProfileConfigurator::RebuildList(const std::string& store_path,
                                             const std::vector<std::string>& subkeys,
                                             std::uint32_t target, ListChange& change) {
  // The account first, then every other mail account (a key with an "Email"
  // value) in enumeration order. Keys not named by a number are no accounts
  // and get no entry.
  change.list = {target};
  for (const std::string& name : subkeys) {
    const std::optional<std::uint32_t> number = AccountNumberOf(name);
    if (!number || *number == target) continue;
    std::unique_ptr<RegistryKey> account;
    if (platform_.registry.Open(kRoot, AccountPath(store_path, name), RegAccess::All, account) !=
        win32_error::kSuccess) {
      continue;
    }
    RegValue value;
    const long read = account->QueryValue(kEmailValue, kTextValueCapacity, value);
    if (read != win32_error::kSuccess && read != win32_error::kMoreData) continue;
    change.list.push_back(*number);
    if (change.list.size() > kMaxListEntries) {
      *log_ << "The account list would hold more than " << kMaxListEntries
            << " accounts. Nothing was written." << kEndLine;
      return false;
    }
  }
  return true;
}

bool OutlookProfileConfigurator::PlanNewAccount(RegistryKey& store,
                                                const std::vector<std::string>& subkeys,
                                                std::uint32_t& number, ListChange& change) {
  std::vector<std::uint32_t> list;
  RegValue list_value;
  const long read = store.QueryValue(kAccountListValue, kAccountListCapacity, list_value);
  if (read == win32_error::kSuccess) {
    std::optional<std::vector<std::uint32_t>> decoded = DecodeAccountList(list_value.data);
    if (!decoded) {
      *log_ << "The account list is damaged: its " << list_value.data.size()
            << " bytes are not whole entries. Nothing was written." << kEndLine;
      return false;
    }
    list = std::move(*decoded);
  } else if (read != win32_error::kFileNotFound) {
    // Too long to read whole, or unreadable: writing a new list would lose it.
    *log_ << "The account list cannot be read (error " << read << "). Nothing was written."
          << kEndLine;
    return false;
  }
  if (list.size() >= kMaxListEntries) {
    *log_ << "The account list is full (" << kMaxListEntries
          << " accounts). Nothing was written." << kEndLine;
    return false;
  }

  // "NextAccountID" names the new account unless it is missing or already
  // taken by an account key or a list entry; then the number after the
  // highest one in use is taken.
  std::vector<std::uint32_t> in_use = list;
  for (const std::string& name : subkeys) {
    if (const std::optional<std::uint32_t> n = AccountNumberOf(name)) in_use.push_back(*n);
  }
  std::optional<std::uint32_t> next;
  RegValue next_value;
  if (store.QueryValue(kNextAccountIdValue, 4, next_value) == win32_error::kSuccess &&
      next_value.data.size() == 4) {
    next = DwordOf(next_value);
  }
  if (next && std::find(in_use.begin(), in_use.end(), *next) == in_use.end()) {
    number = *next;
  } else if (in_use.empty()) {
    number = 1;
  } else {
    const std::uint32_t highest = *std::max_element(in_use.begin(), in_use.end());
    if (highest == UINT32_MAX) {
      log_->Line("No account number is free. Nothing was written.");
      return false;
    }
    number = highest + 1;
  }

  if (make_default_) {
    list.insert(list.begin(), number);
  } else {
    list.push_back(number);
  }
  change.list = std::move(list);
  change.next_account_id = number + 1;
  return true;
}

bool OutlookProfileConfigurator::WriteAccount(RegistryKey& store, const std::string& store_path,
                                              std::uint32_t number,
                                              const std::optional<ListChange>& change) {
  const ServerSettings servers = ServersFor(use_ssl_);
  const std::uint32_t ssl = use_ssl_ ? 1 : 0;
  const std::vector<AccountValue> values = {
      {kAccountNameValue, reg_type::kBinary, EncodeText(platform_.code_page, AccountName())},
      {"clsid", reg_type::kSz, SzData(kPop3AccountClsid)},
      {kDisplayNameValue, reg_type::kBinary, EncodeText(platform_.code_page, display_name_)},
      {kEmailValue, reg_type::kBinary, EncodeText(platform_.code_page, address_)},
      {"Leave on Server", reg_type::kDword, DwordData(0)},
      {"POP3 Port", reg_type::kDword, DwordData(static_cast<std::uint32_t>(servers.incoming_port))},
      {"POP3 Server", reg_type::kBinary, EncodeText(platform_.code_page, servers.incoming_host)},
      {"POP3 Use SSL", reg_type::kDword, DwordData(ssl)},
      {"POP3 User", reg_type::kBinary, EncodeText(platform_.code_page, address_)},
      {"SMTP Port", reg_type::kDword, DwordData(static_cast<std::uint32_t>(servers.outgoing_port))},
      {"SMTP Use Auth", reg_type::kDword, DwordData(1)},
      {"SMTP Server", reg_type::kBinary, EncodeText(platform_.code_page, servers.outgoing_host)},
      {"SMTP Use SSL", reg_type::kDword, DwordData(ssl)},
  };

  const std::string target = AccountPath(store_path, AccountKeyName(number));
  // The account's values first, so that the list never names an account
  // whose values are not all in; every change, the account key's creation
  // included, is journalled and undone when a later write fails.
  outlook::ValueJournal journal(platform_.registry);
  std::unique_ptr<RegistryKey> account;
  long result = journal.CreateKey(target, account);
  if (result != win32_error::kSuccess) {
    account.reset();
    journal.Undo();
    *log_ << "Could not create the key " << target << " (error " << result
          << "). Nothing was written." << kEndLine;
    return false;
  }

  auto failed = [&](const char* name, long code) {
    account.reset();  // closed before the journal deletes the key it created
    journal.Undo();
    *log_ << "Could not write " << name << " (error " << code
          << "). Every value was put back as it was." << kEndLine;
    return false;
  };
  for (const AccountValue& value : values) {
    result = journal.Set(*account, target, value.name, value.type, value.data);
    if (result != win32_error::kSuccess) return failed(value.name, result);
  }
  account.reset();

  if (change) {
    result = journal.Set(store, store_path, kAccountListValue, reg_type::kBinary,
                         EncodeAccountList(change->list));
    if (result != win32_error::kSuccess) return failed(kAccountListValue, result);
    if (change->next_account_id) {
      result = journal.SetDword(store, store_path, kNextAccountIdValue, *change->next_account_id);
      if (result != win32_error::kSuccess) return failed(kNextAccountIdValue, result);
    }
  }

  // Outlook rereads the store when this counter changes.
  RegValue counter;
  if (store.QueryValue(kLastChangeVerValue, outlook::kValueCapacity, counter) !=
      win32_error::kSuccess) {
    counter.data.clear();
  }
  result = journal.Set(store, store_path, kLastChangeVerValue, reg_type::kBinary,
                       NextChangeVer(counter.data));
  if (result != win32_error::kSuccess) return failed(kLastChangeVerValue, result);
  return true;
}

void OutlookProfileConfigurator::LogSettings() {
  const ServerSettings servers = ServersFor(use_ssl_);
  const char* ssl = use_ssl_ ? "1" : "0";
  RunLog& log = *log_;
  log.EmptyLine();
  log.Line("The following settings were written/overwritten in the system registry:");
  log.EmptyLine();
  log << "Account Name: " << AccountName() << kEndLine;
  log << "clsid: " << kPop3AccountClsid << kEndLine;
  log << "Display Name: " << display_name_ << kEndLine;
  log << "Email: " << address_ << kEndLine;
  log << "Leave on Server: " << 0 << kEndLine;
  log << "POP3 Port: " << servers.incoming_port << kEndLine;
  log << "POP3 Server: " << servers.incoming_host << kEndLine;
  log << "POP3 Use SSL: " << ssl << kEndLine;
  log << "POP3 User: " << address_ << kEndLine;
  log << "SMTP Port: " << servers.outgoing_port << kEndLine;
  log << "SMTP Server: " << servers.outgoing_host << kEndLine;
  log << "SMTP Use SSL: " << ssl << kEndLine;
  log.EmptyLine();
}

// -------------------------------------------------------------------- readers

std::optional<std::string> OutlookProfileConfigurator::DefaultProfileAccountPath() {
  std::optional<std::string> profile =
      ReadText(platform_.registry, kRoot, kProfilesKey, RegAccess::All, kDefaultProfileValue,
               outlook::kValueCapacity);
  if (!profile || !IsProfileName(*profile)) return std::nullopt;
  return ProfileAccountPath(*profile);
}

std::optional<std::string> OutlookProfileConfigurator::GetDefAcct() {
  const std::optional<std::string> store_path = DefaultProfileAccountPath();
  if (!store_path) return std::nullopt;
  std::unique_ptr<RegistryKey> store;
  if (platform_.registry.Open(kRoot, *store_path, RegAccess::All, store) != win32_error::kSuccess) {
    return std::nullopt;
  }
  RegValue value;
  if (store->QueryValue(kAccountListValue, kAccountListCapacity, value) != win32_error::kSuccess ||
      value.data.size() < kEntrySize) {
    return std::nullopt;
  }
  value.data.resize(kEntrySize);
  return AccountKeyName(DecodeAccountList(value.data)->front());
}

std::optional<std::string> OutlookProfileConfigurator::FindAcctByAddr(const std::string& text) {
  const std::optional<std::string> store_path = DefaultProfileAccountPath();
  if (!store_path) return std::nullopt;
  std::unique_ptr<RegistryKey> store;
  std::vector<std::string> subkeys;
  if (platform_.registry.Open(kRoot, *store_path, RegAccess::All, store) != win32_error::kSuccess ||
      !ListSubkeys(*store, subkeys)) {
    return std::nullopt;
  }
  for (const std::string& name : subkeys) {
    if (!AccountNumberOf(name)) continue;
    std::unique_ptr<RegistryKey> account;
    RegValue value;
    if (platform_.registry.Open(kRoot, AccountPath(*store_path, name), RegAccess::All, account) !=
            win32_error::kSuccess ||
        account->QueryValue(kEmailValue, kTextValueCapacity, value) != win32_error::kSuccess) {
      continue;
    }
    if (AddressMatches(DecodeText(platform_.code_page, value.data), text)) return name;
  }
  return std::nullopt;
}

long OutlookProfileConfigurator::ReadAccountText(const std::optional<std::string>& key_name,
                                                 const char* value_name,
                                                 std::optional<std::string>& text,
                                                 bool& lossless) {
  // Only an account number can name an account key: anything else could
  // reach the profile's key itself or a key below an account.
  const std::optional<std::string> store_path = DefaultProfileAccountPath();
  if (!store_path || !key_name || !AccountNumberOf(*key_name)) return win32_error::kFileNotFound;
  std::unique_ptr<RegistryKey> account;
  const long opened =
      platform_.registry.Open(kRoot, AccountPath(*store_path, *key_name), RegAccess::All, account);
  if (opened != win32_error::kSuccess) return opened;
  RegValue value;
  if (account->QueryValue(value_name, kTextValueCapacity, value) == win32_error::kSuccess) {
    text = DecodeText(platform_.code_page, value.data, &lossless);
  }
  return win32_error::kSuccess;
}

std::optional<std::string> OutlookProfileConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> text;
  bool lossless = true;
  if (ReadAccountText(key_name, kEmailValue, text, lossless) != win32_error::kSuccess ||
      !text || text->empty() || !lossless) {
    return std::nullopt;
  }
  return *text;
}

std::optional<std::string> OutlookProfileConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> text;
  bool lossless = true;
  if (ReadAccountText(key_name, kDisplayNameValue, text, lossless) != win32_error::kSuccess) {
    return std::nullopt;
  }
  return text.value_or("");
}

}  // namespace quillbank
