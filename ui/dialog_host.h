// The few dialog operations the program's dialogs use, behind one small
// interface per role, so that the dialogs' behaviour is the same code on
// every host: Win32 for real, headless in tests.
//
//   DialogFramework  runs a dialog from its template modally
//   DialogWindow     one open dialog: its controls and its end
//   DialogHandler    what a dialog does when it opens, when a control is
//                    used and when it is cancelled
#pragma once

#include <string>

#include "ui/dialog_template.h"

namespace quillbank {

// What the user did to a control.
enum class ControlEvent {
  Clicked,      // a button, check box or radio button
  TextChanged,  // the user changed an edit's text
};

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  // Each takes effect at once; a hidden control keeps its text and check.
  virtual void ShowControl(int id, bool show) = 0;
  virtual void EnableControl(int id, bool enable) = 0;
  virtual void SetControlText(int id, const std::string& text) = 0;
  // Ticks or clears a check box or radio button (no other button changes).
  virtual void SetCheck(int id, bool checked) = 0;
  [[nodiscard]] virtual std::string ControlText(int id) = 0;
  [[nodiscard]] virtual bool IsChecked(int id) = 0;
  [[nodiscard]] virtual bool IsControlEnabled(int id) = 0;
  // The button that Enter presses from now on.
  virtual void SetDefaultButton(int id) = 0;
  // Gives the window the application icon as its big or small icon. The host
  // draws it centred while the window is minimised and offers it as the drag
  // icon.
  virtual void SetAppIcon(bool big) = 0;
  // Ends the modal run with `result`; the window is destroyed.
  virtual void EndDialog(int result) = 0;
};

class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  // The window and its controls exist; true lets the host set the focus.
  virtual bool OnInitDialog(DialogWindow& window) = 0;
  // A control was used by the user (never by the program's own calls).
  virtual void OnControl(int id, ControlEvent event) = 0;
  // The cancel command: the cancel button (2), Escape or the close box.
  virtual void OnCancel() = 0;
};

class DialogFramework {
 public:
  virtual ~DialogFramework() = default;
  // Shows the dialog built from `dialog` and runs it until the handler ends
  // it; a dialog opened while another runs belongs to that one, which cannot
  // be used meanwhile. Returns the result given to EndDialog, or -1 when the
  // window could not be made.
  virtual int DoModal(const DialogTemplate& dialog, DialogHandler& handler) = 0;
};

// The result of a dialog ended by its cancel command.
inline constexpr int kCancelResult = kIdCancel;

}  // namespace quillbank
