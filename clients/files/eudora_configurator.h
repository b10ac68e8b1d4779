// Eudora keeps its accounts in one settings file, Eudora.ini. This
// configurator finds the file, looks for a section whose return address is
// the requested address, and then leaves it alone, resets that section's
// keys, fills the settings account when it is still free, or adds a persona
// named after the address. Every other line of the file is kept as it was.
#pragma once

#include <optional>
#include <string>

#include "core/configurator.h"
#include "clients/files/eudora_settings_rewrite.h"
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

class EudoraConfigurator final : public Configurator {
 public:
  // Eudora has no default account to set, so there is no make-default flag.
  EudoraConfigurator(Platform& platform, std::string address, std::string display_name,
                     bool overwrite_existing, bool use_ssl, RunLog& log);

  // 0 when the account was written; 1 when Eudora.ini is in neither place;
  // 5 when a section has the address and overwrite is off; 7 when the new
  // file could not be written completely; 30 when the address or name cannot
  // be written into the file safely. Every failure leaves the file unchanged.
  [[nodiscard]] ConfigStatus Configure() override;

 private:
  struct SettingsFile {
    std::string path;
    std::string content;
  };

  [[nodiscard]] bool RefuseUnsafeInput();
  [[nodiscard]] std::optional<SettingsFile> FindSettingsFile();
  [[nodiscard]] std::optional<SettingsFile> SettingsBesideProgram();
  // The new content for an address not found in the file.
  [[nodiscard]] std::string NewAccountContent(const eudora::SettingsLines& lines,
                                              const eudora::KeyBlock& block);
  void LogKeyBlock(const eudora::KeyBlock& block);

  Platform& platform_;
  std::string address_;
  std::string display_name_;
  bool overwrite_existing_;
  bool use_ssl_;
  RunLog& log_;
};

}  // namespace quillbank
