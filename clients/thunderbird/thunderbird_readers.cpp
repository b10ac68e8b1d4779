#include "clients/thunderbird/thunderbird_readers.h"

#include "clients/thunderbird/thunderbird_profile.h"
#include "core/address_search.h"
#include "core/configurator.h"
#include "env/platform/code_page.h"
#include "env/run_log.h"
#include "env/text_file.h"

namespace quillbank::thunderbird {

std::optional<std::string> AccountReaders::DefaultAccount() {
  const AccountList* accounts = Accounts();
  std::optional<std::string> account;
  std::string_view source = kDefaultAccountKey;
  if (accounts) {
    const std::optional<std::string_view> named = accounts->Text(kDefaultAccountKey);
    if (named && !named->empty()) {
      account = std::string(*named);
    } else {
      // Thunderbird takes the first account that holds mail as its default.
      source = "first mail account of mail.accountmanager.accounts";
      const std::vector<std::string> mail_accounts = accounts->MailAccounts();
      if (!mail_accounts.empty()) account = mail_accounts.front();
    }
  }
  LogResult("GetDefAcct", source, account);
  return account;
}

std::optional<std::string> AccountReaders::FindByAddress(const std::string& text) {
  std::optional<std::string> found;
  if (const AccountList* accounts = Accounts()) {
    for (const std::string& account : accounts->MailAccounts()) {
      const std::optional<std::string> address = Address(account, false);
      if (address && AddressMatches(*address, text)) {
        found = account;
        break;
      }
    }
  }
  LogResult("FindAcctByAddr", "useremail containing " + LogValue(text), found);
  return found;
}

std::optional<std::string> AccountReaders::Address(const std::optional<std::string>& account) {
  return Address(account, true);
}

std::optional<std::string> AccountReaders::Address(const std::optional<std::string>& account,
                                                   bool logged) {
  const IdentityValue read = ReadIdentity(account, "useremail");
  std::optional<std::string> address = read.text ? Narrow(*read.text) : std::nullopt;
  // An empty address is none: it must never be copied into a new account.
  if (address && address->empty()) address.reset();
  if (logged) LogResult("GetAcctAddr", read.source, address);
  return address;
}

std::optional<std::string> AccountReaders::DisplayName(const std::optional<std::string>& account) {
  const IdentityValue read = ReadIdentity(account, "fullName");
  std::optional<std::string> name;
  // An identity without a full name gets an empty one rather than none.
  if (read.has_identity) name = read.text ? Narrow(*read.text) : std::string();
  LogResult("GetAcctName", read.source, name);
  return name;
}

const AccountList* AccountReaders::Accounts() {
  if (loaded_) return accounts_.get();
  loaded_ = true;
  // Found, never prepared: a reader creates no profile list and no folder.
  const std::optional<ProfileLocation> profile = ProfileLocator(platform_, site_, log_).FindProfile();
  if (!profile) return nullptr;
  std::optional<std::string> read = platform_.files.ReadFile(profile->preferences_path);
  if (!read && platform_.files.FileExists(profile->preferences_path)) {
    log_ << "Could not read " << profile->preferences_path << "." << kEndLine;
    return nullptr;
  }
  // A profile without prefs.js has no accounts yet.
  text_ = read ? std::move(*read) : std::string();
  lines_ = PrefsLines(text_);
  accounts_ = std::make_unique<AccountList>(lines_);
  return accounts_.get();
}

std::optional<std::string> AccountReaders::Narrow(std::string_view body) const {
  const std::optional<std::string> utf8 = UnescapeJsString(body);
  if (!utf8) return std::nullopt;
  return Utf8ToNarrow(platform_.code_page, *utf8);
}

AccountReaders::IdentityValue AccountReaders::ReadIdentity(
    const std::optional<std::string>& account, std::string_view field) {
  IdentityValue read;
  read.source = std::string(field) + " of ";
  const AccountList* accounts = Accounts();
  if (!account) {
    read.source += "no account";
    return read;
  }
  const std::optional<std::string> identity =
      accounts && accounts->IsMailAccount(*account) ? accounts->FirstIdentity(*account)
                                                    : std::nullopt;
  read.source += LogValue(identity.value_or(*account));
  if (!identity) return read;
  read.has_identity = true;
  read.text = accounts->Text("mail.identity." + *identity + "." + std::string(field));
  return read;
}

void AccountReaders::LogResult(std::string_view reader, std::string_view source,
                               const std::optional<std::string>& value) {
  log_ << reader << " Result (" << source << "): "
       << (value ? LogValue(*value) : std::string(kReaderError)) << kEndLine;
}

}  // namespace quillbank::thunderbird
