// What the registry-store configurators share: the request they were handed
// (address, display name, flags and the log), the automatic mode's prefix,
// and the value tables that say, per store, which values an account gets.
// One table drives both the writes and the settings block of the log, so the
// two cannot drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/account_request.h"
#include "core/provider_servers.h"
#include "core/requested_configurator.h"

namespace quillbank {

class RunLog;

namespace outlook {

// Where the data of an account value comes from.
enum class ValueSource {
  kAccountName,      // text: prefix + address (the bare address outside the automatic mode)
  kAddress,          // text: the address
  kDisplayName,      // text: the display name
  kIncomingServer,   // text: the POP3 host for the SSL choice
  kOutgoingServer,   // text: the SMTP host for the SSL choice
  kFixedText,        // text: `fixed_text`
  kIncomingPort,     // number: 995 or 110
  kOutgoingPort,     // number: 465 or 587
  kSecureConnection, // number: 1 with SSL, 0 without
  kFixed,            // number: `fixed`
};

struct AccountValue {
  const char* name;
  ValueSource source;
  std::uint32_t fixed = 0;
  bool logged = true;  // listed in the settings block of the log
  const char* fixed_text = "";
};

// True for the sources whose data is text; the others are numbers.
[[nodiscard]] bool IsText(ValueSource source);

// The request of a registry-store configurator, with what its value tables
// need of it.
class RequestedAccount : public RequestedConfigurator {
 protected:
  explicit RequestedAccount(const AccountRequest& request) : RequestedConfigurator(request) {}

  // The provider's servers for the request's SSL choice.
  [[nodiscard]] ServerSettings Servers() const { return ServersFor(use_ssl_); }
  // The data of `value` for this request, as text: what is written (numbers
  // in decimal) and what the log shows.
  [[nodiscard]] std::string ValueText(const AccountValue& value) const;
  // The log's block of settings written: every logged value of `values`.
  void LogSettings(const std::vector<AccountValue>& values);
};

}  // namespace outlook
}  // namespace quillbank
