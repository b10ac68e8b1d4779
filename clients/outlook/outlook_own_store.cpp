#include "clients/outlook/outlook_own_store.h"

#include "core/provider_servers.h"
#include "env/run_log.h"

namespace quillbank {

OutlookOwnStoreConfigurator::OutlookOwnStoreConfigurator(const AccountRequest& request, int version)
    : RequestedConfigurator(request), version_(version) {}

ConfigStatus OutlookOwnStoreConfigurator::Configure() { return LogSettings(address_); }

std::optional<ConfigStatus> OutlookOwnStoreConfigurator::RefusesToRead() {
  return LogSettings("<your email address>");
}

// The settings every other store gets, as Outlook's own account dialog asks
// for them.
ConfigStatus OutlookOwnStoreConfigurator::LogSettings(const std::string& user_name) {
  const ServerSettings servers = ServersFor(use_ssl_);
  const char* secure = use_ssl_ ? "SSL, " : "";
  *log_ << "Outlook " << version_
        << " keeps its accounts in its own profile store; Quillbank does not change it."
        << kEndLine;
  log_->Line("Account type: POP3");
  *log_ << "Incoming server: " << servers.incoming_host << ":" << servers.incoming_port
        << (use_ssl_ ? " (SSL)" : "") << kEndLine;
  *log_ << "Outgoing server: " << servers.outgoing_host << ":" << servers.outgoing_port << " ("
        << secure << "authentication)" << kEndLine;
  *log_ << "User name: " << user_name << kEndLine;
  log_->EmptyLine();
  return status::kUnsupportedVersion;
}

}  // namespace quillbank
