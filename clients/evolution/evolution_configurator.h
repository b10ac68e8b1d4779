// Writes the provider's POP3 account into Evolution's sources: an account,
// an identity and a transport source, each a key file of its own. A found
// account (an identity with the address; in the automatic mode an account
// with the copy's name) is left alone or reset in place, keeping its uids
// and every key the run does not write; otherwise three new files are made.
// Each file is replaced only by a complete new one, and a run that fails
// part-way puts back those it already wrote. Its readers let the automatic
// mode copy the default account, or the first whose address holds a text.
#pragma once

#include <optional>
#include <utility>
#include <vector>
#include <string>

#include "clients/evolution/evolution_sources.h"
#include "core/account_request.h"
#include "core/requested_configurator.h"
#include "env/platform/platform.h"

namespace quillbank {

class EvolutionConfigurator final : public RequestedConfigurator {
 public:
  EvolutionConfigurator(Platform& platform, const AccountRequest& request);

  // 0 when the sources were written (and, asked to, the account made
  // Evolution's default); 5 when the account exists and overwrite is off
  // (6 in the automatic mode); 1 when the home has no configuration folder;
  // 7 when a source or the default could not be written (everything
  // written is put back), or the default is asked for without a session
  // bus or for the Flatpak (nothing is written); 30 for a control character in the address,
  // name or prefix.
  [[nodiscard]] ConfigStatus Configure() override;

  // The key of an account is its source's uid. The default account is the
  // one Evolution's settings name (see DefaultAccountSetting) where that is
  // a mail account of the folder, else the first mail account (by file
  // name); an account's address and name are its identity's Address and
  // Name.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

 private:
  // One file the run writes, and what it held before (none: it is new).
  struct Written {
    std::string path;
    std::optional<std::string> before;
  };

  [[nodiscard]] const evolution::SourceSet& Sources();
  // A field of the account's identity; a missing one is none, or empty
  // where `missing_is_empty`.
  [[nodiscard]] std::optional<std::string> IdentityValue(const char* reader,
                                                         const std::optional<std::string>& key,
                                                         const char* field, bool missing_is_empty);
  [[nodiscard]] bool MakeFolder(const std::string& folder);
  [[nodiscard]] bool WriteSource(const std::string& uid, const evolution::KeyFile& file);
  // False (logged) when the default cannot be set here: the Flatpak's
  // sources, or no session bus.
  [[nodiscard]] bool CanMakeDefault();
  // Names the account and its identity as Evolution's defaults, each read
  // back; false (logged) when the store did not take them.
  [[nodiscard]] bool MakeDefault(const evolution::AccountParts& parts);
  void PutBack();

  Platform& platform_;
  std::optional<std::string> folder_;
  bool loaded_ = false;
  evolution::SourceSet sources_;
  std::vector<std::string> made_folders_;
  std::vector<Written> written_;
  std::vector<std::pair<SettingKey, std::string>> set_;  // settings set, with their old values
};

}  // namespace quillbank
