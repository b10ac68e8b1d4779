// What the initialisation and the configuration run do to the dialog's
// controls. The dialog implements it; in the command-line and automatic modes
// there is no view and these steps are skipped.
#pragma once

#include <string>

namespace quillbank {

class RunView {
 public:
  virtual ~RunView() = default;
  // Framework initialisation, icons, "Overwrite existing account" and
  // "Use SSL" ticked (unless automatic), controls read into the fields, launch
  // box hidden and disabled.
  virtual void PrepareControls() = 0;
  // UpdateData(true): the controls into the run's fields.
  virtual void ReadControls() = 0;
  // Disables the radio button of a client that is not installed.
  virtual void DisableClientButton(int client_index) = 0;
  [[nodiscard]] virtual bool IsClientButtonEnabled(int client_index) = 0;
  // Ticks a radio button without changing the client index field.
  virtual void TickClientButton(int client_index) = 0;
  // Hides the input controls, turns Cancel into Close, and after a success
  // shows the launch box ticked.
  virtual void ShowResultView(bool run_succeeded) = 0;
  // The intro text (1009), which shows the outcome.
  virtual void SetIntroText(const std::string& text) = 0;
};

}  // namespace quillbank
