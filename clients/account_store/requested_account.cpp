#include "clients/account_store/requested_account.h"

#include "env/run_log.h"

namespace quillbank::outlook {

bool IsText(ValueSource source) {
  switch (source) {
    case ValueSource::kAccountName:
    case ValueSource::kAddress:
    case ValueSource::kDisplayName:
    case ValueSource::kIncomingServer:
    case ValueSource::kOutgoingServer:
    case ValueSource::kFixedText:
      return true;
    default:
      return false;
  }
}

std::string RequestedAccount::ValueText(const AccountValue& value) const {
  const ServerSettings servers = Servers();
  switch (value.source) {
    case ValueSource::kAccountName: return AccountName();
    case ValueSource::kAddress: return address_;
    case ValueSource::kDisplayName: return display_name_;
    case ValueSource::kIncomingServer: return servers.incoming_host;
    case ValueSource::kOutgoingServer: return servers.outgoing_host;
    case ValueSource::kFixedText: return value.fixed_text;
    case ValueSource::kIncomingPort: return std::to_string(servers.incoming_port);
    case ValueSource::kOutgoingPort: return std::to_string(servers.outgoing_port);
    case ValueSource::kSecureConnection: return use_ssl_ ? "1" : "0";
    case ValueSource::kFixed: return std::to_string(value.fixed);
  }
  return "";
}

void RequestedAccount::LogSettings(const std::vector<AccountValue>& values) {
  log_->Line("The following settings were written/overwritten in the system registry:");
  log_->EmptyLine();
  for (const AccountValue& value : values) {
    if (value.logged) *log_ << value.name << ": " << ValueText(value) << kEndLine;
  }
  log_->EmptyLine();
}

}  // namespace quillbank::outlook
