// The new content of Eudora.ini for one account: the fifteen key lines that
// describe it, and the three ways they get into the file (a section's keys
// rewritten in place, the settings section filled, a persona added). Every
// line not named here is copied unchanged, and every line is written with
// CR LF.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "clients/eudora/eudora_settings_file.h"

namespace quillbank::eudora {

struct KeyLine {
  const char* key;
  std::string value;
};

inline constexpr std::size_t kKeyCount = 15;

// The account's key lines, in the order Eudora.ini gets them: POPAccount,
// RealName, SMTPServer, ReturnAddress, PopServer, LoginName, SmtpAuthAllowed,
// PopBeforeSmtpAuthTime, LeaveMailOnServer, SSLReceiveUse, SSLSendUse,
// UsesIMAP, UsesPOP, PopPort, SMTPPort.
using KeyBlock = std::array<KeyLine, kKeyCount>;

// The key lines for the address and name, with the provider's servers and
// ports for the SSL choice (SSL use value 2 with SSL, 0 without).
[[nodiscard]] KeyBlock MakeKeyBlock(const std::string& address, const std::string& display_name,
                                    bool use_ssl);

// Builds the new file content from the old lines. Each operation is used
// once on a fresh object.
class SettingsRewriter final {
 public:
  SettingsRewriter(const SettingsLines& lines, const KeyBlock& block, std::string address);

  // Rewrites the keys of the section whose header is at `header` (none: the
  // lines before the first header). Lines holding one of the account's keys
  // are replaced; when none did, the whole key block ends the section,
  // otherwise PopPort and SMTPPort are added when missing.
  [[nodiscard]] std::string RewriteSection(std::optional<std::size_t> header);

  // Lists a new persona after the last one in "[Personalities]" (creating
  // that section at the end of the file when `last_persona` is -2) and writes
  // its section right after the new list line.
  [[nodiscard]] std::string AddPersona(int last_persona);

 private:
  void WriteLine(std::string_view line);
  void CopyUpTo(std::size_t end);  // copies the lines before index `end`
  void CopyRest();
  // Writes the replacement of every key the line holds; false when it holds
  // none.
  bool ReplaceKeys(std::string_view line, bool& pop_port, bool& smtp_port);
  void WritePersonaSection();

  const SettingsLines& lines_;
  const KeyBlock& block_;
  std::string address_;
  std::size_t next_ = 0;  // the first line not copied or rewritten yet
  std::string out_;
};

}  // namespace quillbank::eudora
