// The main dialog: the user picks a client, types a name and an address, sets
// three options and presses Configure; afterwards one line says what
// happened. The run itself is the session's; this class binds the controls to
// the run's fields, keeps Configure enabled only for a complete request, and
// starts the client on Close after a success when the user wants it.
#pragma once

#include <vector>

#include "core/client_list.h"
#include "session/config_session.h"
#include "session/configurator_factory.h"
#include "session/run_state.h"
#include "session/run_view.h"
#include "env/platform/platform.h"
#include "ui/dialog_host.h"

namespace quillbank {

class DataExchange;

class ConfigDlg final : public DialogHandler, public RunView {
 public:
  ConfigDlg(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory,
            DialogFramework& framework, RunState& state);

  // DialogHandler
  bool OnInitDialog(DialogWindow& window) override;
  void OnControl(int id, ControlEvent event) override;
  void OnCancel() override;

  // RunView
  void PrepareControls() override;
  void ReadControls() override { UpdateData(true); }
  void DisableClientButton(int client_index) override;
  bool IsClientButtonEnabled(int client_index) override;
  void TickClientButton(int client_index) override;
  void ShowResultView(bool run_succeeded) override;
  void SetIntroText(const std::string& text) override;

 private:
  void DoDataExchange(DataExchange& exchange);
  void UpdateData(bool save);
  void OnSelectionChanged();
  void ShowAbout();
  void LaunchSelectedClient();

  // The radio button of `client_index`; 0 for none.
  [[nodiscard]] int ClientButton(int client_index) const;

  Platform& platform_;
  const ClientList& clients_;
  const std::vector<int> buttons_;  // by client index
  DialogFramework& framework_;
  RunState& state_;
  ConfigSession session_;
  DialogWindow* window_ = nullptr;
};

// Runs the program in its dialog mode on `framework`; returns the exit code
// of the run (0 when the dialog was closed before one).
int RunConfigDialog(Platform& platform, const ClientList& clients, ConfiguratorFactory& factory,
                    DialogFramework& framework);

}  // namespace quillbank
