#include "clients/eudora/eudora_configurator.h"

#include <utility>

#include "clients/common/existing_account.h"
#include "clients/eudora/eudora_personalities.h"
#include "core/address_search.h"
#include "core/ascii_text.h"
#include "core/input_safety.h"
#include "env/app_data.h"
#include "env/registry_access.h"
#include "env/run_log.h"
#include "env/text_file.h"

namespace quillbank {
namespace eudora {
namespace {

// Brackets would end a section header early, and the prefix becomes part of
// the copy's section name. Eudora.ini has no escapes: what it cannot hold is
// refused.
bool HasBracket(std::string_view text) { return text.find_first_of("[]") != std::string_view::npos; }

}  // namespace
}  // namespace eudora

using namespace eudora;

namespace {

// "[Persona-jane@example.com]" → "Persona-jane@example.com".
std::string SectionName(std::string_view header) {
  header = TrimBlanks(header);
  if (!header.empty() && header.front() == '[') header.remove_prefix(1);
  const std::size_t close = header.find(']');
  return std::string(header.substr(0, close));
}

}  // namespace

EudoraConfigurator::EudoraConfigurator(Platform& platform, const AccountRequest& request)
    : RequestedConfigurator(request), platform_(platform) {}

ConfigStatus EudoraConfigurator::Configure() {
  const KeyBlock block = MakeKeyBlock(address_, display_name_, use_ssl_);
  log_->Line("Starting Eudora configuration...");
  log_->EmptyLine();
  if (RefuseUnsafeInput()) return status::kUnsafeInput;

  const std::optional<SettingsFile> file = FindSettingsFile();
  if (!file) return status::kCannotConfigure;

  LogAccountSearch(*log_, AccountName());
  const SettingsLines lines = SplitLines(file->content);
  const AddressMatch match = FindExisting(lines);
  const AccountDecision decision = DecideOnAccount(*log_, match.found, overwrite_existing_);
  // A skip writes nothing, not even a temporary file.
  if (decision.step == AccountStep::kSkip) return decision.status;
  log_->EmptyLine();
  const std::string content =
      decision.step == AccountStep::kReset
          ? SettingsRewriter(lines, block, AccountName()).RewriteSection(match.header)
          : NewAccountContent(lines, block);

  // The old file is replaced only by a complete new one.
  if (!ReplaceFileContents(platform_.files, file->path, content, *log_)) return status::kWriteFailed;
  stored_as_ = match.header ? SectionName(lines[*match.header])
                            : std::string(kPersonaSectionPrefix) + AccountName();
  LogKeyBlock(block);
  return status::kSuccess;
}

bool EudoraConfigurator::RefuseUnsafeInput() {
  // A line end would add lines of its own to the file, and brackets in the
  // address would break the persona's section header.
  const bool unsafe = address_.empty() || HasControlCharacter(address_) ||
                      HasControlCharacter(display_name_) || HasBracket(address_);
  if (unsafe) log_->Line("The email address or display name cannot be written to Eudora.ini.");
  if (unsafe || !automatic_) return unsafe;
  const bool unsafe_prefix = HasControlCharacter(prefix_) || HasBracket(prefix_);
  if (unsafe_prefix) {
    log_->Line("The account-name prefix cannot be written to Eudora.ini: it holds a control "
               "character, \"[\" or \"]\".");
  }
  return unsafe_prefix;
}

AddressMatch EudoraConfigurator::FindExisting(const SettingsLines& lines) const {
  if (!automatic_) return FindReturnAddress(lines, address_);
  // The copy has the address of the account it was copied from: only its
  // name tells it apart.
  const std::optional<std::size_t> header =
      FindSection(lines, std::string(kPersonaSectionPrefix) + AccountName());
  return {header.has_value(), header};
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
  SettingsRewriter rewriter(lines, block, AccountName());
  // A free settings account takes the account while no persona exists;
  // without a "[Settings]" section the account becomes a persona. The
  // automatic copy always becomes a persona: only a persona has a name.
  if (!automatic_ && !SettingsAccountInUse(lines) && last_persona < 0 && settings) {
    return rewriter.RewriteSection(settings);
  }
  return rewriter.AddPersona(last_persona);
}

void EudoraConfigurator::LogKeyBlock(const KeyBlock& block) {
  log_->Line("The following lines were written/overwritten in the Eudora configuration file:");
  log_->EmptyLine();
  for (const KeyLine& line : block) *log_ << line.key << ": " << line.value << kEndLine;
}

// -------------------------------------------------------------------- readers

std::optional<std::string> EudoraConfigurator::ReadAccountSetting(
    const std::optional<std::string>& key_name, std::string_view setting) {
  if (!key_name) return std::nullopt;
  const std::optional<SettingsFile> file = FindSettingsFile();
  if (!file) return std::nullopt;
  const SettingsLines lines = SplitLines(file->content);
  // Only the dominant personality and the listed personas are accounts; any
  // other section name (the persona list itself, say) names none.
  for (const std::string_view section : AccountSections(lines)) {
    if (!EqualsIgnoringCase(section, *key_name)) continue;
    return std::string(SectionValue(lines, section, setting).value_or(""));
  }
  return std::nullopt;
}

void EudoraConfigurator::LogReaderResult(const char* reader, const std::string& what,
                                         const std::optional<std::string>& result) {
  *log_ << reader << " Result (" << what << "): " << (result ? LogValue(*result) : kReaderError)
        << kEndLine;
}

std::optional<std::string> EudoraConfigurator::GetDefAcct() {
  std::optional<std::string> key;
  if (const std::optional<SettingsFile> file = FindSettingsFile()) {
    if (FindSection(SplitLines(file->content), kSettingsSection)) key = kSettingsSection;
  }
  LogReaderResult("GetDefAcct", "dominant personality [Settings]", key);
  return key;
}

std::optional<std::string> EudoraConfigurator::FindAcctByAddr(const std::string& text) {
  std::optional<std::string> key;
  if (const std::optional<SettingsFile> file = FindSettingsFile()) {
    const SettingsLines lines = SplitLines(file->content);
    for (const std::string_view section : AccountSections(lines)) {
      const std::optional<std::string_view> address =
          SectionValue(lines, section, kReturnAddressSetting);
      // An empty return address is no address, whatever the text.
      if (address && !address->empty() && AddressMatches(*address, text)) {
        key = section;
        break;
      }
    }
  }
  LogReaderResult("FindAcctByAddr", "ReturnAddress containing \"" + LogValue(text) + "\"", key);
  return key;
}

std::optional<std::string> EudoraConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> address = ReadAccountSetting(key_name, kReturnAddressSetting);
  // An account without an address cannot be copied: the same answer as no
  // account at all.
  if (address && address->empty()) address.reset();
  LogReaderResult("GetAcctAddr", "ReturnAddress of " + LogValue(key_name.value_or(kReaderError)),
                  address);
  return address;
}

std::optional<std::string> EudoraConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
  const std::optional<std::string> name = ReadAccountSetting(key_name, kRealNameSetting);
  LogReaderResult("GetAcctName", "RealName of " + LogValue(key_name.value_or(kReaderError)), name);
  return name;
}

}  // namespace quillbank
