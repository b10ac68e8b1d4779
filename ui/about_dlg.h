// The About box: what the program does and the settings configured accounts
// get. Its texts are fixed: the plain server names and the ports 110 and 587,
// whatever was entered or chosen in the main dialog.
#pragma once

#include "ui/dialog_host.h"

namespace quillbank {

class AboutDlg final : public DialogHandler {
 public:
  bool OnInitDialog(DialogWindow& window) override;
  void OnControl(int, ControlEvent) override {}  // "Close" is the cancel command
  void OnCancel() override;

 private:
  DialogWindow* window_ = nullptr;
};

}  // namespace quillbank
