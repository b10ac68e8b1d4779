#include "clients/files/eudora_configurator.h"

#include <utility>

#include "core/input_safety.h"
#include "env/app_data.h"
#include "env/registry_access.h"
#include "env/run_log.h"
#include "env/text_file.h"

namespace quillbank {
namespace eudora {

}  // namespace eudora

using namespace eudora;

EudoraConfigurator::EudoraConfigurator(Platform& platform, std::string address,
                                       std::string display_name, bool overwrite_existing,
                                       bool use_ssl, RunLog& log)
    : platform_(platform),
      address_(std::move(address)),
      display_name_(std::move(display_name)),
      overwrite_existing_(overwrite_existing),
      use_ssl_(use_ssl),
      log_(log) {}

ConfigStatus EudoraConfigurator::Configure() {
  const KeyBlock block = MakeKeyBlock(address_, display_name_, use_ssl_);
  log_.Line("Starting Eudora configuration...");
  log_.EmptyLine();
  if (RefuseUnsafeInput()) return status::kUnsafeInput;

  const std::optional<SettingsFile> file = FindSettingsFile();
  if (!file) return status::kCannotConfigure;

  log_ << "Searching for existant " << address_ << " account ... ";
  const SettingsLines lines = SplitLines(file->content);
  const AddressMatch match = FindReturnAddress(lines, address_);
  std::string content;
  if (match.found) {
    if (!overwrite_existing_) {
      // Nothing is written, not even a temporary file.
      log_.Line(" found. No changes will be made.");
      return status::kAlreadyExists;
    }
    log_.Line(" found. Reseting settings to defaults.");
    log_.EmptyLine();
    content = SettingsRewriter(lines, block, address_).RewriteSection(match.header);
  } else {
    log_.Line("not found. Creating new account.");
    log_.EmptyLine();
    content = NewAccountContent(lines, block);
  }

  // The old file is replaced only by a complete new one.
  if (!ReplaceFileContents(platform_.files, file->path, content, log_)) return status::kWriteFailed;
  LogKeyBlock(block);
  return status::kSuccess;
}

bool EudoraConfigurator::RefuseUnsafeInput() {
  // A line end would add lines of its own to the file, and brackets in the
  // address would break the persona's section header.
  const bool unsafe = address_.empty() || HasControlCharacter(address_) ||
                      HasControlCharacter(display_name_) ||
                      address_.find_first_of("[]") != std::string::npos;
  if (unsafe) log_.Line("The email address or display name cannot be written to Eudora.ini.");
  return unsafe;
}

std::optional<EudoraConfigurator::SettingsFile> EudoraConfigurator::FindSettingsFile() {
  if (const std::optional<std::string> folder = AppDataFolder(platform_)) {
    const std::string path = *folder + kSettingsBelowAppData;
    if (std::optional<std::string> content = platform_.files.ReadFile(path)) {
      return SettingsFile{path, std::move(*content)};
    }
  }
  return SettingsBesideProgram();
}

std::optional<EudoraConfigurator::SettingsFile> EudoraConfigurator::SettingsBesideProgram() {
  // Reading needs no more than read access, which a user without
  // administrator rights is granted on HKEY_LOCAL_MACHINE.
  const std::optional<std::string> program =
      ReadText(platform_.registry, RegRoot::LocalMachine, kAppPathsKey, RegAccess::Read, "",
               kRegistryCapacity);
  if (!program) return std::nullopt;
  const std::size_t at = program->find(kProgramName);
  if (at == std::string::npos) return std::nullopt;
  std::string path = *program;
  path.replace(at, std::string_view(kProgramName).size(), kSettingsName);
  std::optional<std::string> content = platform_.files.ReadFile(path);
  if (!content) return std::nullopt;
  return SettingsFile{path, std::move(*content)};
}

std::string EudoraConfigurator::NewAccountContent(const SettingsLines& lines,
                                                  const KeyBlock& block) {
  const int last_persona = LastPersonaNumber(lines);
  const std::optional<std::size_t> settings = FindLineContaining(lines, kSettingsHeader);
  SettingsRewriter rewriter(lines, block, address_);
  // A free settings account takes the account while no persona exists;
  // without a "[Settings]" section the account becomes a persona.
  if (!SettingsAccountInUse(lines) && last_persona < 0 && settings) {
    return rewriter.RewriteSection(settings);
  }
  return rewriter.AddPersona(last_persona);
}

void EudoraConfigurator::LogKeyBlock(const KeyBlock& block) {
  log_.Line("The following lines were written/overwritten in the Eudora configuration file:");
  log_.EmptyLine();
  for (const KeyLine& line : block) log_ << line.key << ": " << line.value << kEndLine;
}

}  // namespace quillbank
