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
#include "core/configurator.h"
#include "core/provider_servers.h"

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

// The request as a store configurator keeps it between runs of the automatic
// mode, which hands a new request to the same configurator.
class RequestedAccount : public AutoModeConfigurator {
 public:
  void SetAutoMode() override { automatic_ = true; }
  void SetAccountPrefix(const std::string& prefix) override { prefix_ = prefix; }
  void SetRequest(const AccountRequest& request) override;

 protected:
  explicit RequestedAccount(const AccountRequest& request);

  // Prefix + address in the automatic mode, the address otherwise.
  [[nodiscard]] std::string AccountName() const;
  // The provider's servers for the request's SSL choice.
  [[nodiscard]] ServerSettings Servers() const { return ServersFor(use_ssl_); }
  // The data of `value` for this request, as text: what is written (numbers
  // in decimal) and what the log shows.
  [[nodiscard]] std::string ValueText(const AccountValue& value) const;
  // The log's block of settings written: every logged value of `values`.
  void LogSettings(const std::vector<AccountValue>& values);

  RunLog* log_;
  std::string address_;
  std::string display_name_;
  bool make_default_;
  bool overwrite_existing_;
  bool use_ssl_;
  bool automatic_ = false;
  std::string prefix_;
};

}  // namespace outlook
}  // namespace quillbank
