#include "ui/config_dlg.h"

#include <algorithm>
#include <vector>

#include "core/input_safety.h"
#include "env/client_launch.h"
#include "ui/about_dlg.h"
#include "ui/data_exchange.h"

namespace quillbank {
namespace {

using namespace config_ids;

bool IsClientButton(const std::vector<int>& buttons, int id) {
  return id != 0 && std::find(buttons.begin(), buttons.end(), id) != buttons.end();
}

}  // namespace

ConfigDlg::ConfigDlg(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory,
                     DialogFramework& framework, RunState& state)
    : platform_(platform),
      clients_(clients),
      buttons_(ClientButtons(clients)),
      framework_(framework),
      state_(state),
      session_(platform, clients, factory, state, this) {}

int ConfigDlg::ClientButton(int client_index) const {
  return clients_.IsIndex(client_index) ? buttons_[static_cast<std::size_t>(client_index)] : 0;
}

// ------------------------------------------------------------ data exchange

void ConfigDlg::DoDataExchange(DataExchange& exchange) {
  exchange.Text(kAddress, state_.address);
  exchange.Check(kMakeDefault, state_.make_default);
  exchange.Text(kDisplayName, state_.display_name);
  exchange.RadioGroup(buttons_, state_.client_index);
  exchange.Check(kLaunch, state_.launch_after);
  exchange.Check(kOverwrite, state_.overwrite_existing);
  exchange.Check(kUseSsl, state_.use_ssl);
}

void ConfigDlg::UpdateData(bool save) {
  if (!window_) return;
  DataExchange exchange(*window_, save);
  DoDataExchange(exchange);
}

// ------------------------------------------------------------ handlers

bool ConfigDlg::OnInitDialog(DialogWindow& window) {
  window_ = &window;
  session_.OnInitDialog();
  return true;
}

void ConfigDlg::OnControl(int id, ControlEvent event) {
  if (id == kConfigure && event == ControlEvent::Clicked) {
    session_.OnConfigure();
  } else if (id == kAbout && event == ControlEvent::Clicked) {
    ShowAbout();
  } else if ((id == kAddress || id == kDisplayName) && event == ControlEvent::TextChanged) {
    OnSelectionChanged();
  } else if (IsClientButton(buttons_, id) && event == ControlEvent::Clicked) {
    OnSelectionChanged();
  }
}

void ConfigDlg::OnSelectionChanged() {
  UpdateData(true);
  const bool complete = !state_.display_name.empty() && IsValidAddress(state_.address) &&
                        clients_.IsIndex(state_.client_index);
  window_->EnableControl(kConfigure, complete);
  // A client without a default account disables the option; the tick stays
  // as it is.
  const ClientDescriptor* client = clients_.At(state_.client_index);
  window_->EnableControl(kMakeDefault, !client || client->has_default_option);
  UpdateData(false);
}

void ConfigDlg::ShowAbout() {
  AboutDlg about;
  framework_.DoModal(AboutDialogTemplate(), about);
}

void ConfigDlg::OnCancel() {
  if (state_.run_succeeded) {
    UpdateData(true);  // the launch box as the user left it
    if (state_.launch_after) LaunchSelectedClient();
    UpdateData(false);
  } else {
    // Before any run this ends the log; after a failed run or a refusal the
    // log is already closed and nothing more is written.
    session_.LogTerminatedByUser();
  }
  window_->EndDialog(kCancelResult);
}

void ConfigDlg::LaunchSelectedClient() {
  const ClientDescriptor* client = clients_.At(state_.client_index);
  if (!client) return;
  // The run has closed the log; what is started is still worth a line in it
  // for whoever reads the log later.
  session_.ReopenLog();
  LaunchClient(platform_, *client, session_.log());
  session_.log().Close();
}

// ------------------------------------------------------------ RunView

void ConfigDlg::PrepareControls() {
  UpdateData(false);  // no radio ticked, edits empty, only "Use SSL" ticked
  if (!state_.automatic) {
    window_->SetCheck(kOverwrite, true);
    window_->SetCheck(kUseSsl, true);
  }
  window_->SetAppIcon(true);
  window_->SetAppIcon(false);
  UpdateData(true);
  window_->ShowControl(kLaunch, false);
  window_->EnableControl(kLaunch, false);
}

void ConfigDlg::DisableClientButton(int client_index) {
  if (ClientButton(client_index) != 0) window_->EnableControl(ClientButton(client_index), false);
}

bool ConfigDlg::IsClientButtonEnabled(int client_index) {
  return ClientButton(client_index) != 0 && window_->IsControlEnabled(ClientButton(client_index));
}

void ConfigDlg::TickClientButton(int client_index) {
  if (ClientButton(client_index) != 0) window_->SetCheck(ClientButton(client_index), true);
}

void ConfigDlg::ShowResultView(bool run_succeeded) {
  for (int id : {kConfigure, kAddress, kDisplayName, kMakeDefault, kOverwrite, kUseSsl}) {
    window_->ShowControl(id, false);
  }
  window_->SetControlText(kIdCancel, "Close");
  for (const int button : buttons_) {
    if (button != 0) window_->ShowControl(button, false);
  }
  for (int id : {kDetailsLabel, kAddressLabel, kNameLabel, kSelectLabel, kAbout}) {
    window_->ShowControl(id, false);
  }
  window_->SetDefaultButton(kIdCancel);
  window_->EnableControl(kConfigure, false);
  if (run_succeeded) {
    window_->ShowControl(kLaunch, true);
    window_->EnableControl(kLaunch, true);
    window_->SetCheck(kLaunch, true);
  }
}

void ConfigDlg::SetIntroText(const std::string& text) { window_->SetControlText(kIntro, text); }

// ------------------------------------------------------------ dialog mode

int RunConfigDialog(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory,
                    DialogFramework& framework) {
  RunState state;
  ConfigDlg dialog(platform, clients, factory, framework, state);
  if (framework.DoModal(ConfigDialogTemplate(clients), dialog) < 0) return exit_code::kNoDialog;
  return state.exit_code;
}

}  // namespace quillbank
