#include "clients/thunderbird/thunderbird_configurator.h"

#include <optional>
#include <utility>

#include "clients/common/existing_account.h"
#include "clients/thunderbird/thunderbird_accounts.h"
#include "clients/thunderbird/thunderbird_prefs.h"
#include "core/input_safety.h"
#include "clients/thunderbird/thunderbird_profile.h"
#include "core/ascii_text.h"
#include "env/run_log.h"
#include "env/platform/code_page.h"
#include "env/text_file.h"

namespace quillbank {

using namespace thunderbird;

ThunderbirdConfigurator::ThunderbirdConfigurator(Platform& platform, const AccountRequest& request,
                                                 const ClientSite& site)
    : RequestedConfigurator(request),
      platform_(platform),
      site_(site),
      values_(request.address, request.display_name, request.use_ssl),
      file_values_(NarrowToUtf8(platform.code_page, request.address),
                   NarrowToUtf8(platform.code_page, request.display_name), request.use_ssl) {}

ConfigStatus ThunderbirdConfigurator::Configure() {
  log_->Line("Starting Thunderbird configuration...");
  log_->EmptyLine();
  // A line end in a value would start a preference line of its own.
  if (HasControlCharacter(values_.address) ||
      HasControlCharacter(values_.display_name)) {
    log_->Line("The email address or display name cannot be written to prefs.js.");
    return status::kUnsafeInput;
  }
  if (automatic_) {
    if (HasControlCharacter(prefix_)) {
      *log_ << "The account prefix '" << LogValue(prefix_) << "' cannot be written to prefs.js."
            << kEndLine;
      return status::kUnsafeInput;
    }
    // The copy keeps the address of the account it copies; its name tells
    // them apart.
    values_.server_name = prefix_ + values_.address;
    file_values_.server_name = NarrowToUtf8(platform_.code_page, prefix_) + file_values_.address;
  }

  ProfileLocator locator(platform_, site_, *log_);
  const PreparedProfile prepared = locator.PrepareProfile();
  if (prepared.status != status::kSuccess) return prepared.status;
  const ProfileLocation& profile = prepared.location;

  // A missing file reads as an empty one: a profile without accounts. A file
  // that is there but cannot be read must not be replaced by a fresh one.
  const std::unique_ptr<FileView> read = platform_.files.ViewFile(profile.preferences_path);
  if (!read && platform_.files.FileExists(profile.preferences_path)) {
    *log_ << "Could not read " << profile.preferences_path << ". No changes were made."
          << kEndLine;
    return status::kCannotConfigure;
  }
  const std::string_view old_content = read ? read->bytes() : std::string_view();
  const PrefsLines lines(old_content);
  // Where the site keeps a file's own line ends, the lines written match the
  // file's; elsewhere, and in a new file, they are the site's.
  file_values_.line_end = site_.keeps_file_line_end
                              ? FirstLineEnd(old_content).value_or(site_.line_end)
                              : std::string_view(site_.line_end);
  const PrefsScanner scan(lines);
  const bool no_accounts = scan.HasNoAccounts();

  LogAccountSearch(*log_, values_.server_name);
  const std::optional<IdentityMatch> found = no_accounts ? std::nullopt : FindExisting(lines, scan);

  if (!found && automatic_ && !no_accounts) {
    const std::optional<std::string> twin = AccountList(lines).AccountWithServer(
        "pop3", EscapeJsString(file_values_.servers.incoming_host),
        EscapeJsString(file_values_.address));
    if (twin) {
      // Thunderbird would drop the copy as a duplicate of that account when
      // it starts, so the run would succeed without an account to show.
      *log_ << " found. " << LogValue(*twin)
            << " uses the same server and user name, so Thunderbird would not load a copy. "
               "No changes will be made."
            << kEndLine;
      return status::kAlreadyExists;
    }
  }

  const AccountDecision decision = DecideOnAccount(*log_, found.has_value(), overwrite_existing_);
  // A skip writes nothing, not even a temporary file.
  if (decision.step == AccountStep::kSkip) return decision.status;
  PiecedText content;
  Designations names;
  if (decision.step == AccountStep::kReset) {
    content = ResetContent(lines, file_values_, found->designation, make_default_, names);
    // A reset that found no outgoing server still lists the fixed block.
    if (names.smtp.empty()) names.smtp = "smtp1";
  } else if (no_accounts) {
    content = FreshContent(lines, file_values_);
    names = {"2", "1", "2", "smtp1"};
  } else {
    NewAccount account;
    account.account = scan.NextAccountNumber();
    account.server = scan.NextServerNumber();
    account.identity = scan.NextIdentityNumber();
    account.smtp = scan.NextSmtpServerNumber();
    account.local_folders = scan.UsesLocalFolders(account.identity);
    account.make_default = make_default_;
    content = NewAccountContent(lines, file_values_, account);
    names = {std::to_string(account.account), std::to_string(account.identity),
             std::to_string(account.server), "smtp" + std::to_string(account.smtp)};
  }

  if (!ReplaceFileContents(platform_.files, profile.preferences_path, content, *log_)) {
    // A first-time user's profile without its prefs.js would be adopted by
    // Thunderbird as an empty profile: take it away again.
    locator.Undo(profile);
    return status::kWriteFailed;
  }
  LogWrittenLines(names);
  stored_as_ = "server" + names.server;
  return status::kSuccess;
}

std::optional<IdentityMatch> ThunderbirdConfigurator::FindExisting(const PrefsLines& lines,
                                                                   const PrefsScanner& scan) const {
  if (!automatic_) return scan.FindIdentity(file_values_.address);
  const AccountList accounts(lines);
  const std::optional<std::string> copy =
      accounts.AccountWithServerName(EscapeJsString(file_values_.server_name));
  const std::optional<std::string> identity = copy ? accounts.FirstIdentity(*copy) : std::nullopt;
  // The reset finds an identity by the text after "id".
  if (!identity || identity->size() <= 2 || !StartsWith(*identity, "id")) return std::nullopt;
  return IdentityMatch{identity->substr(2)};
}

AccountReaders& ThunderbirdConfigurator::Readers() {
  if (!readers_) readers_ = std::make_unique<AccountReaders>(platform_, site_, *log_);
  return *readers_;
}

std::optional<std::string> ThunderbirdConfigurator::GetDefAcct() {
  return Readers().DefaultAccount();
}

std::optional<std::string> ThunderbirdConfigurator::FindAcctByAddr(const std::string& text) {
  return Readers().FindByAddress(text);
}

std::optional<std::string> ThunderbirdConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  return Readers().Address(key_name);
}

std::optional<std::string> ThunderbirdConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
  return Readers().DisplayName(key_name);
}

void ThunderbirdConfigurator::LogWrittenLines(const Designations& names) {
  log_->EmptyLine();
  log_->Line("The following lines were written/overwritten in the Thunderbird configuration file:");
  log_->EmptyLine();
  for (const std::string& line : FreshBlock(values_, names)) log_->Line(line);
  log_->EmptyLine();
}

}  // namespace quillbank
