// Evolution's mail accounts as its registry service keeps them: one key file
// "<uid>.source" per source in the sources folder. A POP3 account is three
// sources: the account ([Mail Account], top level), its identity ([Mail
// Identity], the account's IdentityUid, a child of the account) and its
// transport ([Mail Transport], the identity's TransportUid, a child of the
// account).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clients/evolution/evolution_key_file.h"
#include "env/platform/platform.h"

namespace quillbank::evolution {

inline constexpr const char* kDataSource = "Data Source";
inline constexpr const char* kMailAccount = "Mail Account";
inline constexpr const char* kMailIdentity = "Mail Identity";
inline constexpr const char* kMailSubmission = "Mail Submission";
inline constexpr const char* kMailTransport = "Mail Transport";
inline constexpr const char* kAuthentication = "Authentication";
inline constexpr const char* kSecurity = "Security";
inline constexpr const char* kPopBackend = "Pop Backend";

// The sources folder the Evolution of this home reads: the Flatpak's own
// when the only Evolution found is the Flatpak (its desktop entry below a
// Flatpak exports folder, no "evolution" on PATH and no other entry),
// else $XDG_CONFIG_HOME/evolution/sources. None when the home has no
// configuration folder.
[[nodiscard]] std::optional<std::string> SourcesFolder(Platform& platform);
// True for the Flatpak's own sources folder.
[[nodiscard]] bool IsFlatpakFolder(std::string_view sources_folder);

// Where Evolution's settings name its default mail account and identity,
// each by its source's uid.
inline const SettingKey kDefaultAccountKey{"org.gnome.Evolution.DefaultSources",
                                           "default-mail-account"};
inline const SettingKey kDefaultIdentityKey{"org.gnome.Evolution.DefaultSources",
                                            "default-mail-identity"};

// The uid Evolution's settings name as the default mail account; none when
// the home has no settings store, or the key cannot be read or is empty.
[[nodiscard]] std::optional<std::string> DefaultAccountSetting(DesktopSettings* settings);

// A string as gsettings prints it ('text', with backslash escapes); none for
// anything else.
[[nodiscard]] std::optional<std::string> PrintedString(std::string_view printed);
// `text` as a string in that form.
[[nodiscard]] std::string QuotedString(std::string_view text);

struct Source {
  std::string uid;   // the file's name without ".source"
  std::string path;
  std::string text;  // as read
  KeyFile file;
};

// The three sources of one account; an empty uid is a part that is missing.
struct AccountParts {
  std::string account;
  std::string identity;
  std::string transport;
};

// What an account gets written into its sources.
struct AccountValues {
  std::string account_name;  // the account's DisplayName (the address, or prefix + address)
  std::string address;
  std::string display_name;  // the identity's Name
  bool use_ssl = true;
};

// Every key the run writes, in the account, identity and transport sources;
// the keys of a source found again are given these values, all its other
// keys and groups stay.
void WriteAccount(KeyFile& account, const AccountParts& parts, const AccountValues& values);
void WriteIdentity(KeyFile& identity, const AccountParts& parts, const AccountValues& values);
void WriteTransport(KeyFile& transport, const AccountParts& parts, const AccountValues& values);

// The sources of one folder, read once.
class SourceSet {
 public:
  SourceSet() = default;
  // Every "*.source" file that can be read; the others are passed over.
  void Load(Platform& platform, const std::string& folder);
  void Add(Source source) { sources_.push_back(std::move(source)); }

  [[nodiscard]] const std::vector<Source>& sources() const { return sources_; }
  [[nodiscard]] const Source* Find(std::string_view uid) const;

  // The mail accounts that have an identity, in the folder's order.
  [[nodiscard]] std::vector<const Source*> MailAccounts() const;
  // The identity of an account (its IdentityUid, when that source is an identity).
  [[nodiscard]] const Source* IdentityOf(const Source& account) const;
  // The parts of the account whose identity has the address (without regard
  // to case); none when no identity has it.
  [[nodiscard]] std::optional<AccountParts> FindByAddress(std::string_view address) const;
  // The parts of the account whose DisplayName is `name`.
  [[nodiscard]] std::optional<AccountParts> FindByName(std::string_view name) const;

 private:
  [[nodiscard]] AccountParts PartsOf(const Source& account, const Source* identity) const;

  std::vector<Source> sources_;
};

}  // namespace quillbank::evolution
