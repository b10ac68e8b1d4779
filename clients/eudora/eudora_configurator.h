// Eudora keeps its accounts in one settings file, Eudora.ini. This
// configurator finds the file, looks for a section whose return address is
// the requested address, and then leaves it alone, resets that section's
// keys, fills the settings account when it is still free, or adds a persona
// named after the address. Every other line of the file is kept as it was.
//
// In the automatic mode it first reads the account to copy (the dominant
// personality, or the first personality whose return address holds the
// search text) and then writes the copy as a persona named prefix + address.
// The copy is looked for by that name, never by its address, which it shares
// with the account it was copied from.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/requested_configurator.h"
#include "clients/eudora/eudora_settings_rewrite.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace eudora {

// Where the file is looked for first, below the user's application data
// folder, and where that folder is named.
inline constexpr const char* kSettingsBelowAppData = "\\Qualcomm\\Eudora\\Eudora.ini";
// Otherwise beside the program, named by its App Paths entry.
inline constexpr const char* kAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Eudora.exe\\";
inline constexpr const char* kProgramName = "Eudora.exe";
inline constexpr const char* kSettingsName = "Eudora.ini";
inline constexpr std::size_t kRegistryCapacity = 300;  // bytes, terminator included

}  // namespace eudora

class EudoraConfigurator final : public RequestedConfigurator {
 public:
  // Eudora has no default account to set, so there is no make-default flag.
  // Eudora has no default account to set: the request's make default is
  // not used.
  EudoraConfigurator(Platform& platform, const AccountRequest& request);

  // 0 when the account was written; 1 when Eudora.ini is in neither place;
  // 5 when a section has the address (in the automatic mode: the copy's
  // persona exists) and overwrite is off; 7 when the new file could not be
  // written completely; 30 when the address, name or prefix cannot be
  // written into the file safely. Every failure leaves the file unchanged.
  [[nodiscard]] ConfigStatus Configure() override;

  // Readers. A key names an account's section: "Settings" for the dominant
  // personality, else the persona's section name. Each reader logs one line
  // naming what it read and its result, and reads nothing but Eudora.ini.
  // The dominant personality; no value without a readable file holding a
  // "[Settings]" section.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  // The first account whose return address contains `text`: the dominant
  // personality first, then the personas in the order of the persona list.
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  // The account's return address; no value when it is missing or empty.
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  // The account's real name; empty when the account has none.
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

 private:
  struct SettingsFile {
    std::string path;
    std::string content;
  };

  [[nodiscard]] bool RefuseUnsafeInput();
  // Prefix + address in the automatic mode, the address otherwise: the name
  // a new persona gets.
  // Where the account to write already is: by its return address, or in the
  // automatic mode by its persona's name.
  [[nodiscard]] eudora::AddressMatch FindExisting(const eudora::SettingsLines& lines) const;
  [[nodiscard]] std::optional<SettingsFile> FindSettingsFile();
  [[nodiscard]] std::optional<SettingsFile> SettingsBesideProgram();
  // The new content for an address not found in the file.
  [[nodiscard]] std::string NewAccountContent(const eudora::SettingsLines& lines,
                                              const eudora::KeyBlock& block);
  void LogKeyBlock(const eudora::KeyBlock& block);
  // The value of `setting` in the account section `key_name` names: no value
  // when the file cannot be read or the key names no account; empty when
  // the account lacks the setting.
  [[nodiscard]] std::optional<std::string> ReadAccountSetting(
      const std::optional<std::string>& key_name, std::string_view setting);
  void LogReaderResult(const char* reader, const std::string& what,
                       const std::optional<std::string>& result);

  Platform& platform_;
};

}  // namespace quillbank
