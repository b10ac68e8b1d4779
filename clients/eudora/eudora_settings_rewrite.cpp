#include "clients/eudora/eudora_settings_rewrite.h"

#include "core/provider_servers.h"

namespace quillbank::eudora {
namespace {

enum KeyIndex : std::size_t {
  kPopAccount,
  kRealName,
  kSmtpServer,
  kReturnAddress,
  kPopServer,
  kLoginName,
  kSmtpAuthAllowed,
  kPopBeforeSmtpAuthTime,
  kLeaveMailOnServer,
  kSslReceiveUse,
  kSslSendUse,
  kUsesImap,
  kUsesPop,
  kPopPort,
  kSmtpPort,
};

// A line holding `text` (or `other_text`) is replaced by `written_key` + "="
// + the key's value. The server key is written "POPServer"; since Eudora
// reads keys without regard to case, that spelling is recognised as well,
// so a later reset replaces the line it wrote. Only SMTPPort is looked for
// with its "=".
struct ReplacementRule {
  const char* text;
  const char* other_text;
  const char* written_key;
};

constexpr std::array<ReplacementRule, kKeyCount> kRules{{
    {"POPAccount", nullptr, "POPAccount"},
    {"RealName", nullptr, "RealName"},
    {"SMTPServer", nullptr, "SMTPServer"},
    {"ReturnAddress", nullptr, "ReturnAddress"},
    {"PopServer", "POPServer", "POPServer"},
    {"LoginName", nullptr, "LoginName"},
    {"SmtpAuthAllowed", nullptr, "SmtpAuthAllowed"},
    {"PopBeforeSmtpAuthTime", nullptr, "PopBeforeSmtpAuthTime"},
    {"LeaveMailOnServer", nullptr, "LeaveMailOnServer"},
    {"SSLReceiveUse", nullptr, "SSLReceiveUse"},
    {"SSLSendUse", nullptr, "SSLSendUse"},
    {"UsesIMAP", nullptr, "UsesIMAP"},
    {"UsesPOP", nullptr, "UsesPOP"},
    {"PopPort", nullptr, "PopPort"},
    {"SMTPPort=", nullptr, "SMTPPort"},
}};

bool Contains(std::string_view line, const char* part) {
  return part != nullptr && line.find(part) != std::string_view::npos;
}

// A comment line (";" first) is never a setting, whatever key it mentions:
// taking it for one would replace the comment and leave the setting as it was.
bool Matches(const ReplacementRule& rule, std::string_view line) {
  if (!line.empty() && line.front() == ';') return false;
  return Contains(line, rule.text) || Contains(line, rule.other_text);
}

}  // namespace

KeyBlock MakeKeyBlock(const std::string& address, const std::string& display_name, bool use_ssl) {
  const ServerSettings servers = ServersFor(use_ssl);
  const std::string ssl_use = use_ssl ? "2" : "0";
  return {{
      {"POPAccount", address + "@" + servers.incoming_host},
      {"RealName", display_name},
      {"SMTPServer", servers.outgoing_host},
      {"ReturnAddress", address},
      {"PopServer", servers.incoming_host},
      {"LoginName", address},
      {"SmtpAuthAllowed", "1"},
      {"PopBeforeSmtpAuthTime", "0"},
      {"LeaveMailOnServer", "0"},
      {"SSLReceiveUse", ssl_use},
      {"SSLSendUse", ssl_use},
      {"UsesIMAP", "0"},
      {"UsesPOP", "1"},
      {"PopPort", std::to_string(servers.incoming_port)},
      {"SMTPPort", std::to_string(servers.outgoing_port)},
  }};
}

SettingsRewriter::SettingsRewriter(const SettingsLines& lines, const KeyBlock& block,
                                   std::string address)
    : lines_(lines), block_(block), address_(std::move(address)) {}

std::string SettingsRewriter::RewriteSection(std::optional<std::size_t> header) {
  if (header) CopyUpTo(*header + 1);
  // The section's own lines: up to the next header or the end of the file.
  // A header is never rewritten, whatever it holds.
  std::size_t end = next_;
  while (end < lines_.size() && !IsSectionHeader(lines_[end])) ++end;
  bool any_replaced = false;
  bool pop_port = false;
  bool smtp_port = false;
  for (; next_ < end; ++next_) {
    if (ReplaceKeys(lines_[next_], pop_port, smtp_port)) {
      any_replaced = true;
    } else {
      WriteLine(lines_[next_]);
    }
  }
  // The section ends here, before the next header or at the end of the file.
  if (!any_replaced) {
    for (const KeyLine& line : block_) WriteLine(std::string(line.key) + "=" + line.value);
  } else {
    if (!pop_port) WriteLine("PopPort=" + block_[kPopPort].value);
    if (!smtp_port) WriteLine("SMTPPort=" + block_[kSmtpPort].value);
  }
  CopyRest();
  return std::move(out_);
}

std::string SettingsRewriter::AddPersona(int last_persona) {
  // Only a header starts the list: a new persona inserted after a line that
  // merely mentions it would take over the lines of the section around it.
  const std::optional<std::size_t> list = FindHeaderContaining(lines_, kPersonalitiesHeader);
  if (last_persona >= -1 && list) {
    // The new entry follows the last "Persona" line of the list, or the
    // header of an empty list; it never lands outside the list.
    std::size_t insert_at = *list + 1;
    const std::size_t end = SectionEnd(lines_, *list);
    for (std::size_t i = *list + 1; i < end; ++i) {
      if (lines_[i].find("Persona") != std::string_view::npos) insert_at = i + 1;
    }
    CopyUpTo(insert_at);
  } else {
    CopyRest();
    WriteLine(kPersonalitiesHeader);
    last_persona = -1;
  }
  WriteLine("Persona" + std::to_string(last_persona + 1) + "=Persona-" + address_);
  WritePersonaSection();
  CopyRest();
  return std::move(out_);
}

void SettingsRewriter::WritePersonaSection() {
  WriteLine("[Persona-" + address_ + "]");
  WriteLine("IMAPAccount=" + block_[kPopAccount].value);
  for (std::size_t i = kPopAccount + 1; i < kKeyCount; ++i) {
    WriteLine(std::string(block_[i].key) + "=" + block_[i].value);
  }
}

bool SettingsRewriter::ReplaceKeys(std::string_view line, bool& pop_port, bool& smtp_port) {
  bool replaced = false;
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (!Matches(kRules[i], line)) continue;
    WriteLine(std::string(kRules[i].written_key) + "=" + block_[i].value);
    replaced = true;
    if (i == kPopPort) pop_port = true;
    if (i == kSmtpPort) smtp_port = true;
  }
  return replaced;
}

void SettingsRewriter::WriteLine(std::string_view line) {
  out_ += line;
  out_ += "\r\n";
}

void SettingsRewriter::CopyUpTo(std::size_t end) {
  for (; next_ < end && next_ < lines_.size(); ++next_) WriteLine(lines_[next_]);
}

void SettingsRewriter::CopyRest() { CopyUpTo(lines_.size()); }

}  // namespace quillbank::eudora
