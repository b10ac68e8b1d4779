#include "clients/outlook/outlook_profile_configurator.h"

#include <algorithm>

#include "clients/outlook/outlook_profile_store.h"
#include "clients/account_store/store_conventions.h"
#include "clients/common/existing_account.h"
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

// The values an account gets in the profile store, in writing (and logging)
// order.
const std::vector<outlook::AccountValue>& ProfileValues() {
  using S = outlook::ValueSource;
  static const std::vector<outlook::AccountValue> values{
      {kAccountNameValue, S::kAccountName},
      {"clsid", S::kFixedText, 0, true, kPop3AccountClsid},
      {kDisplayNameValue, S::kDisplayName},
      {kEmailValue, S::kAddress},
      {"Leave on Server", S::kFixed, 0},
      {"POP3 Port", S::kIncomingPort},
      {"POP3 Server", S::kIncomingServer},
      {"POP3 Use SSL", S::kSecureConnection},
      {"POP3 User", S::kAddress},
      {"SMTP Port", S::kOutgoingPort},
      {"SMTP Use Auth", S::kFixed, 1, /*logged=*/false},
      {"SMTP Server", S::kOutgoingServer},
      {"SMTP Use SSL", S::kSecureConnection},
  };
  return values;
}

// A value as the profile store keeps it: the account's own texts as UTF-16 in
// binary values, the class id as a plain string, numbers as DWORDs.
struct StoredValue {
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};
StoredValue Stored(const CodePage& code_page, outlook::ValueSource source, const std::string& text) {
  if (source == outlook::ValueSource::kFixedText) return {reg_type::kSz, SzData(text)};
  if (outlook::IsText(source)) return {reg_type::kBinary, EncodeText(code_page, text)};
  return {reg_type::kDword, DwordData(static_cast<std::uint32_t>(std::stoul(text)))};
}

}  // namespace

OutlookProfileConfigurator::OutlookProfileConfigurator(Platform& platform,
                                                       const AccountRequest& request)
    : RequestedAccount(request), platform_(platform) {}

// ------------------------------------------------------------------ Configure

ConfigStatus OutlookProfileConfigurator::Configure() {
  if (AsksForProfile()) return status::kNoDefaultProfile;
  std::string profile;
  if (const auto stop = ReadDefaultProfile(profile)) return *stop;

  log_->Line("Starting Outlook configuration...");
  log_->EmptyLine();
  Store store;
  if (const auto stop = OpenStore(profile, store)) return *stop;
  if (const auto stop = RefuseUnfindableName()) return *stop;
  std::optional<std::string> match;
  if (const auto stop = FindAccount(store, match)) return *stop;
  Plan plan;
  if (const auto stop = Decide(store, match, plan)) return *stop;

  if (!WriteAccount(*store.key, store.path, plan.number, plan.change)) return status::kWriteFailed;
  stored_as_ = AccountKeyName(plan.number);
  store.key.reset();
  log_->EmptyLine();
  LogSettings(ProfileValues());
  return status::kSuccess;
}

std::optional<ConfigStatus> OutlookProfileConfigurator::ReadDefaultProfile(std::string& profile) {
  std::unique_ptr<RegistryKey> profiles;
  const long opened = platform_.registry.Open(kRoot, kProfilesKey, RegAccess::All, profiles);
  if (opened != win32_error::kSuccess) return OpenFailureStatus(opened);
  profile = ReadText(*profiles, kDefaultProfileValue, outlook::kValueCapacity).value_or("");
  return std::nullopt;
}

std::optional<ConfigStatus> OutlookProfileConfigurator::OpenStore(const std::string& profile,
                                                                  Store& store) {
  // Without a usable default profile name the fallback profile is the only
  // candidate; a name with a backslash would reach a key below another one.
  Registry& registry = platform_.registry;
  store.path = ProfileAccountPath(kFallbackProfile);
  long opened = win32_error::kFileNotFound;
  if (IsProfileName(profile)) {
    opened = registry.Open(kRoot, ProfileAccountPath(profile), RegAccess::All, store.key);
    if (opened == win32_error::kSuccess) store.path = ProfileAccountPath(profile);
  }
  if (opened != win32_error::kSuccess) {
    opened = registry.Open(kRoot, store.path, RegAccess::All, store.key);
    if (opened != win32_error::kSuccess) return OpenFailureStatus(opened);
  }
  return std::nullopt;
}

std::optional<ConfigStatus> OutlookProfileConfigurator::RefuseUnfindableName() {
  // Values are searched with 100-byte reads: a longer name could never be
  // found again, and every later run would add one more copy of the account.
  if (address_.size() <= kMaxTextLength && AccountName().size() <= kMaxTextLength) {
    return std::nullopt;
  }
  *log_ << "The account name '" << AccountName() << "' or the address is longer than "
        << kMaxTextLength << " characters. Nothing was written." << kEndLine;
  return status::kCannotConfigure;
}

std::optional<ConfigStatus> OutlookProfileConfigurator::FindAccount(
    Store& store, std::optional<std::string>& match) {
  LogAccountSearch(*log_, address_);
  if (!ListSubkeys(*store.key, store.subkeys)) {
    *log_ << "the account keys cannot be read." << kEndLine;
    return status::kStoreUnreadable;
  }
  match = Search(store.path, store.subkeys);
  return std::nullopt;
}

std::optional<ConfigStatus> OutlookProfileConfigurator::Decide(
    const Store& store, const std::optional<std::string>& match, Plan& plan) {
  const AccountDecision decision =
      DecideOnAccount(*log_, match.has_value(), overwrite_existing_,
                      automatic_ ? SkipAnswer::kQuit : SkipAnswer::kAlreadyExists);
  if (decision.step == AccountStep::kSkip) return decision.status;
  if (decision.step == AccountStep::kReset) {
    plan.number = *AccountNumberOf(*match);
    if (!make_default_) return std::nullopt;  // the list stays as it is
    plan.change.emplace();
    if (!RebuildList(store.path, store.subkeys, plan.number, *plan.change)) {
      return status::kCannotConfigure;
    }
    return std::nullopt;
  }
  plan.change.emplace();
  if (!PlanNewAccount(*store.key, store.subkeys, plan.number, *plan.change)) {
    return status::kCannotConfigure;
  }
  return std::nullopt;
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
  for (const outlook::AccountValue& value : ProfileValues()) {
    const StoredValue stored = Stored(platform_.code_page, value.source, ValueText(value));
    result = journal.Set(*account, target, value.name, stored.type, stored.data);
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
