#include "clients/evolution/evolution_configurator.h"

#include "clients/common/existing_account.h"
#include "core/address_search.h"
#include "core/configurator.h"
#include "core/input_safety.h"
#include "env/platform/code_page.h"
#include "env/run_log.h"
#include "env/text_file.h"
#include "env/user_folders.h"

namespace quillbank {

using namespace evolution;

EvolutionConfigurator::EvolutionConfigurator(Platform& platform, const AccountRequest& request)
    : RequestedConfigurator(request), platform_(platform) {}

const SourceSet& EvolutionConfigurator::Sources() {
  if (loaded_) return sources_;
  loaded_ = true;
  folder_ = SourcesFolder(platform_);
  if (folder_) sources_.Load(platform_, *folder_);
  return sources_;
}

ConfigStatus EvolutionConfigurator::Configure() {
  log_->Line("Starting Evolution configuration...");
  log_->EmptyLine();
  // A line end in a value is escaped in the key file, but no other client
  // takes one either.
  if (HasControlCharacter(address_) || HasControlCharacter(display_name_) ||
      (automatic_ && HasControlCharacter(prefix_))) {
    log_->Line("The email address, display name or account prefix cannot be written to a source.");
    return status::kUnsafeInput;
  }
  const SourceSet& sources = Sources();
  if (!folder_) {
    log_->Line("The folder of Evolution's sources is unknown: the home has no configuration folder.");
    return status::kCannotConfigure;
  }
  if (make_default_ && !CanMakeDefault()) return status::kWriteFailed;
  *log_ << "Evolution sources folder: " << *folder_ << kEndLine;

  AccountValues values;
  values.account_name = NarrowToUtf8(platform_.code_page, AccountName());
  values.address = NarrowToUtf8(platform_.code_page, address_);
  values.display_name = NarrowToUtf8(platform_.code_page, display_name_);
  values.use_ssl = use_ssl_;

  LogAccountSearch(*log_, AccountName());
  const std::optional<AccountParts> found =
      automatic_ ? sources.FindByName(values.account_name) : sources.FindByAddress(values.address);
  const AccountDecision decision =
      DecideOnAccount(*log_, found.has_value(), overwrite_existing_,
                      automatic_ ? SkipAnswer::kQuit : SkipAnswer::kAlreadyExists);
  if (found) stored_as_ = found->account;
  if (decision.step == AccountStep::kSkip) return decision.status;

  // A reset keeps the uids it found; a part that is missing gets a new one.
  AccountParts parts = found.value_or(AccountParts{});
  // A source that would be two parts at once (a hand-made file naming
  // itself) keeps the first part only.
  if (parts.identity == parts.account) parts.identity.clear();
  if (parts.transport == parts.account || parts.transport == parts.identity) parts.transport.clear();
  for (std::string* uid : {&parts.account, &parts.identity, &parts.transport}) {
    if (uid->empty()) *uid = platform_.uuids.NewUuid();
  }
  const auto start = [&](const std::string& uid) {
    const Source* source = sources.Find(uid);
    return source ? source->file : KeyFile();
  };
  KeyFile account = start(parts.account);
  KeyFile identity = start(parts.identity);
  KeyFile transport = start(parts.transport);
  WriteAccount(account, parts, values);
  WriteIdentity(identity, parts, values);
  WriteTransport(transport, parts, values);

  // The sources first: Evolution passes over a default that names no
  // source it has.
  if (!MakeFolder(*folder_) || !WriteSource(parts.account, account) ||
      !WriteSource(parts.identity, identity) || !WriteSource(parts.transport, transport) ||
      (make_default_ && !MakeDefault(parts))) {
    PutBack();
    return status::kWriteFailed;
  }
  stored_as_ = parts.account;
  log_->EmptyLine();
  log_->Line("The following sources were written/overwritten in the Evolution sources folder:");
  log_->EmptyLine();
  *log_ << "Account: " << parts.account << ".source" << kEndLine;
  *log_ << "Identity: " << parts.identity << ".source" << kEndLine;
  *log_ << "Transport: " << parts.transport << ".source" << kEndLine;
  if (make_default_) {
    log_->EmptyLine();
    *log_ << "Default mail account and identity (" << kDefaultAccountKey.schema
          << "): " << parts.account << ", " << parts.identity << kEndLine;
  }
  log_->EmptyLine();
  return status::kSuccess;
}

bool EvolutionConfigurator::CanMakeDefault() {
  // The Flatpak keeps its settings in its own sandbox, which the
  // desktop's gsettings does not reach.
  if (IsFlatpakFolder(*folder_)) {
    log_->Line("Evolution from Flatpak keeps its default account inside its sandbox, where "
               "Quillbank does not write. No changes were made.");
    return false;
  }
  // Without a session bus the settings store drops a change silently.
  if (!(platform_.settings && platform_.settings->CanSave())) {
    log_->Line("Evolution's default account is kept in the desktop's settings, which take changes "
               "over the session bus; no session bus was found. No changes were made.");
    return false;
  }
  return true;
}

bool EvolutionConfigurator::MakeDefault(const AccountParts& parts) {
  DesktopSettings& settings = *platform_.settings;
  for (const auto& [key, uid] : {std::pair{kDefaultAccountKey, parts.account},
                                 std::pair{kDefaultIdentityKey, parts.identity}}) {
    const std::optional<std::string> before = settings.Get(key);
    const std::string value = QuotedString(uid);
    if (!before) {
      *log_ << "Could not read " << key.key << " of " << key.schema
            << ". No changes were made." << kEndLine;
      return false;
    }
    set_.push_back({key, *before});
    // gsettings reports success for a change the store then drops: only
    // the value read back counts.
    const bool set = settings.Set(key, value);
    const std::optional<std::string> read_back = settings.Get(key);
    if (!set || read_back != value) {
      *log_ << "Could not set " << key.key << " of " << key.schema << " (it reads "
            << read_back.value_or("nothing") << "). No changes were made." << kEndLine;
      return false;
    }
  }
  return true;
}

bool EvolutionConfigurator::MakeFolder(const std::string& folder) {
  if (platform_.files.FolderExists(folder)) return true;
  const std::size_t cut = folder.rfind(PathSeparator(platform_));
  if (cut == std::string::npos || cut == 0 || !MakeFolder(folder.substr(0, cut))) return false;
  if (!platform_.files.CreateFolder(folder)) {
    *log_ << "Could not create " << folder << ". No changes were made." << kEndLine;
    return false;
  }
  made_folders_.push_back(folder);
  return true;
}

bool EvolutionConfigurator::WriteSource(const std::string& uid, const KeyFile& file) {
  const std::string path = JoinPath(platform_, *folder_, uid + ".source");
  const Source* source = sources_.Find(uid);
  written_.push_back({path, source ? std::optional<std::string>(source->text) : std::nullopt});
  if (ReplaceFileContents(platform_.files, path, file.Text(), *log_)) return true;
  written_.pop_back();  // left as it was
  return false;
}

void EvolutionConfigurator::PutBack() {
  for (auto setting = set_.rbegin(); setting != set_.rend(); ++setting) {
    (void)platform_.settings->Set(setting->first, setting->second);
  }
  for (auto file = written_.rbegin(); file != written_.rend(); ++file) {
    if (file->before) {
      (void)platform_.files.ReplaceContents(file->path, *file->before);
    } else {
      platform_.files.DeleteFile(file->path);
    }
  }
  for (auto folder = made_folders_.rbegin(); folder != made_folders_.rend(); ++folder) {
    platform_.files.RemoveFolder(*folder);
  }
}

std::optional<std::string> EvolutionConfigurator::GetDefAcct() {
  const std::vector<const Source*> accounts = Sources().MailAccounts();
  std::optional<std::string> key;
  std::string source = "first mail account of the sources";
  // Evolution names its default account in its settings; one that is no
  // mail account here (removed since, or the Flatpak's settings) is passed
  // over for the first, which Evolution takes then too.
  const std::optional<std::string> named = DefaultAccountSetting(platform_.settings);
  for (const Source* account : accounts) {
    if (named && account->uid == *named) {
      key = account->uid;
      source = "default-mail-account of org.gnome.Evolution.DefaultSources";
    }
  }
  if (!key && !accounts.empty()) key = accounts.front()->uid;
  *log_ << "GetDefAcct Result (" << source << "): "
        << (key ? LogValue(*key) : std::string(kReaderError)) << kEndLine;
  return key;
}

std::optional<std::string> EvolutionConfigurator::FindAcctByAddr(const std::string& text) {
  std::optional<std::string> key;
  const std::string wanted = NarrowToUtf8(platform_.code_page, text);
  for (const Source* account : Sources().MailAccounts()) {
    const std::optional<std::string> address =
        sources_.IdentityOf(*account)->file.Get(kMailIdentity, "Address");
    if (address && AddressMatches(*address, wanted)) {
      key = account->uid;
      break;
    }
  }
  *log_ << "FindAcctByAddr Result (Address containing " << LogValue(text)
        << "): " << (key ? LogValue(*key) : std::string(kReaderError)) << kEndLine;
  return key;
}

std::optional<std::string> EvolutionConfigurator::IdentityValue(
    const char* reader, const std::optional<std::string>& key, const char* field,
    bool missing_is_empty) {
  const Source* account = key ? Sources().Find(*key) : nullptr;
  const Source* identity = account ? sources_.IdentityOf(*account) : nullptr;
  std::optional<std::string> value;
  if (identity) {
    const std::optional<std::string> text = identity->file.Get(kMailIdentity, field);
    if (text) {
      value = Utf8ToNarrow(platform_.code_page, *text);
    } else if (missing_is_empty) {
      value = std::string();
    }
  }
  *log_ << reader << " Result (" << field << " of "
        << (identity ? LogValue(identity->uid) : key ? LogValue(*key) : std::string("no account"))
        << "): " << (value ? LogValue(*value) : std::string(kReaderError)) << kEndLine;
  return value;
}

std::optional<std::string> EvolutionConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> address = IdentityValue("GetAcctAddr", key_name, "Address", false);
  // An empty address must never be copied into a new account.
  if (address && address->empty()) return std::nullopt;
  return address;
}

std::optional<std::string> EvolutionConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
    // An identity without a name gives an empty one, as Evolution shows it.
  return IdentityValue("GetAcctName", key_name, "Name", true);
}

}  // namespace quillbank
