#include "clients/evolution/evolution_sources.h"

#include <algorithm>

#include "clients/evolution/evolution_client.h"
#include "core/ascii_text.h"
#include "core/provider_servers.h"
#include "env/client_detection.h"
#include "env/user_folders.h"

namespace quillbank::evolution {
namespace {

constexpr std::string_view kSourceSuffix = ".source";
constexpr std::string_view kFlatpakExports = "/flatpak/exports/share";
constexpr std::string_view kFlatpakSources = ".var/app/org.gnome.Evolution/config/evolution/sources";

// Implicit TLS on 995 and 465; the plain ports without encryption.
const char* SecurityMethod(bool use_ssl) { return use_ssl ? "ssl-on-alternate-port" : "none"; }

bool IsFlatpakExport(std::string_view data_folder) {
  while (!data_folder.empty() && data_folder.back() == '/') data_folder.remove_suffix(1);
  return data_folder.size() >= kFlatpakExports.size() &&
         data_folder.substr(data_folder.size() - kFlatpakExports.size()) == kFlatpakExports;
}

}  // namespace

std::optional<std::string> SourcesFolder(Platform& platform) {
  const std::vector<std::string> entries = DesktopEntryFolders(platform, kDesktopEntry);
  const bool flatpak = std::any_of(entries.begin(), entries.end(), IsFlatpakExport);
  const bool other = platform.user.OnPath(kProgram) ||
                     !std::all_of(entries.begin(), entries.end(), IsFlatpakExport);
  if (flatpak && !other) {
    const std::optional<std::string> home = platform.user.HomeFolder();
    if (!home) return std::nullopt;
    return JoinPath(platform, *home, std::string(kFlatpakSources));
  }
  const std::vector<std::string> config = platform.user.ConfigFolders();
  if (config.empty()) return std::nullopt;
  return JoinPath(platform, config.front(), "evolution/sources");
}

bool IsFlatpakFolder(std::string_view sources_folder) {
  return sources_folder.size() >= kFlatpakSources.size() &&
         sources_folder.substr(sources_folder.size() - kFlatpakSources.size()) == kFlatpakSources;
}

std::optional<std::string> PrintedString(std::string_view printed) {
  while (!printed.empty() && (printed.back() == '\n' || printed.back() == ' ')) printed.remove_suffix(1);
  if (printed.size() < 2 || printed.front() != '\'' || printed.back() != '\'') return std::nullopt;
  std::string text;
  for (std::size_t i = 1; i + 1 < printed.size(); ++i) {
    if (printed[i] == '\\' && i + 2 < printed.size()) ++i;
    text += printed[i];
  }
  return text;
}

std::string QuotedString(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::optional<std::string> DefaultAccountSetting(DesktopSettings* settings) {
  const std::optional<std::string> printed =
      settings ? settings->Get(kDefaultAccountKey) : std::nullopt;
  std::optional<std::string> uid = printed ? PrintedString(*printed) : std::nullopt;
  if (uid && uid->empty()) uid.reset();
  return uid;
}

void WriteAccount(KeyFile& account, const AccountParts& parts, const AccountValues& values) {
  const ServerSettings servers = ServersFor(values.use_ssl);
  account.Set(kDataSource, "DisplayName", values.account_name);
  account.Set(kDataSource, "Enabled", "true");
  account.Set(kDataSource, "Parent", "");
  account.Set(kMailAccount, "BackendName", "pop");
  account.Set(kMailAccount, "IdentityUid", parts.identity);
  account.Set(kAuthentication, "Host", servers.incoming_host);
  account.Set(kAuthentication, "Port", std::to_string(servers.incoming_port));
  account.Set(kAuthentication, "User", values.address);
  // POP3's own USER and PASS commands.
  account.Set(kAuthentication, "Method", "none");
  account.Set(kSecurity, "Method", SecurityMethod(values.use_ssl));
  account.Set(kPopBackend, "KeepOnServer", "false");
}

void WriteIdentity(KeyFile& identity, const AccountParts& parts, const AccountValues& values) {
  identity.Set(kDataSource, "DisplayName", values.account_name);
  identity.Set(kDataSource, "Enabled", "true");
  identity.Set(kDataSource, "Parent", parts.account);
  identity.Set(kMailIdentity, "Address", values.address);
  identity.Set(kMailIdentity, "Name", values.display_name);
  identity.Set(kMailSubmission, "TransportUid", parts.transport);
}

void WriteTransport(KeyFile& transport, const AccountParts& parts, const AccountValues& values) {
  const ServerSettings servers = ServersFor(values.use_ssl);
  transport.Set(kDataSource, "DisplayName", values.account_name);
  transport.Set(kDataSource, "Enabled", "true");
  transport.Set(kDataSource, "Parent", parts.account);
  transport.Set(kMailTransport, "BackendName", "smtp");
  transport.Set(kAuthentication, "Host", servers.outgoing_host);
  transport.Set(kAuthentication, "Port", std::to_string(servers.outgoing_port));
  transport.Set(kAuthentication, "User", values.address);
  transport.Set(kAuthentication, "Method", "PLAIN");
  transport.Set(kSecurity, "Method", SecurityMethod(values.use_ssl));
}

void SourceSet::Load(Platform& platform, const std::string& folder) {
  std::vector<std::string> names =
      platform.files.ListFolder(JoinPath(platform, folder, "*" + std::string(kSourceSuffix)));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    // The registry service takes the files that end so exactly.
    if (name.size() <= kSourceSuffix.size() ||
        name.compare(name.size() - kSourceSuffix.size(), kSourceSuffix.size(), kSourceSuffix) != 0) {
      continue;
    }
    const std::string path = JoinPath(platform, folder, name);
    std::optional<std::string> text = platform.files.ReadFile(path);
    if (!text) continue;
    Source source{name.substr(0, name.size() - kSourceSuffix.size()), path, std::move(*text), {}};
    source.file = KeyFile(source.text);
    sources_.push_back(std::move(source));
  }
}

const Source* SourceSet::Find(std::string_view uid) const {
  for (const Source& source : sources_) {
    if (source.uid == uid) return &source;
  }
  return nullptr;
}

const Source* SourceSet::IdentityOf(const Source& account) const {
  const std::optional<std::string> uid = account.file.Get(kMailAccount, "IdentityUid");
  if (!uid || uid->empty()) return nullptr;
  const Source* identity = Find(*uid);
  return identity && identity->file.HasGroup(kMailIdentity) ? identity : nullptr;
}

std::vector<const Source*> SourceSet::MailAccounts() const {
  std::vector<const Source*> accounts;
  for (const Source& source : sources_) {
    if (source.file.HasGroup(kMailAccount) && IdentityOf(source)) accounts.push_back(&source);
  }
  return accounts;
}

AccountParts SourceSet::PartsOf(const Source& account, const Source* identity) const {
  AccountParts parts{account.uid, "", ""};
  if (!identity) return parts;
  parts.identity = identity->uid;
  const std::optional<std::string> transport = identity->file.Get(kMailSubmission, "TransportUid");
  if (transport && Find(*transport) && Find(*transport)->file.HasGroup(kMailTransport)) {
    parts.transport = *transport;
  }
  return parts;
}

std::optional<AccountParts> SourceSet::FindByAddress(std::string_view address) const {
  for (const Source& identity : sources_) {
    const std::optional<std::string> found = identity.file.Get(kMailIdentity, "Address");
    if (!found || !EqualsIgnoringCase(*found, address)) continue;
    // The account that names the identity, else its parent.
    for (const Source& account : sources_) {
      if (account.file.HasGroup(kMailAccount) && IdentityOf(account) == &identity) {
        return PartsOf(account, &identity);
      }
    }
    const std::optional<std::string> parent = identity.file.Get(kDataSource, "Parent");
    const Source* account = parent ? Find(*parent) : nullptr;
    if (account && account->file.HasGroup(kMailAccount)) return PartsOf(*account, &identity);
    AccountParts parts = PartsOf(identity, &identity);
    parts.account.clear();
    return parts;
  }
  return std::nullopt;
}

std::optional<AccountParts> SourceSet::FindByName(std::string_view name) const {
  for (const Source& account : sources_) {
    if (account.file.HasGroup(kMailAccount) &&
        account.file.Get(kDataSource, "DisplayName") == std::string(name)) {
      return PartsOf(account, IdentityOf(account));
    }
  }
  return std::nullopt;
}

}  // namespace quillbank::evolution
