#include "ui/about_dlg.h"

#include <string>

#include "core/provider_servers.h"

namespace quillbank {

bool AboutDlg::OnInitDialog(DialogWindow& window) {
  using namespace about_ids;
  window_ = &window;
  const ServerSettings plain = ServersFor(false);
  window.SetControlText(kImapPort, "IMAP Port: " + std::to_string(plain.incoming_port));
  window.SetControlText(kSmtpPort, "SMTP Port: " + std::to_string(plain.outgoing_port));
  window.SetControlText(kIncomingServer, plain.incoming_host);
  window.SetControlText(kOutgoingServer, plain.outgoing_host);
  window.SetAppIcon(true);
  return true;
}

void AboutDlg::OnCancel() {
  if (window_) window_->EndDialog(kCancelResult);
}

}  // namespace quillbank
