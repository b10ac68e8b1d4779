// A dialog host without a screen: it keeps every control's text, visibility,
// enabled and checked state, and lets a test act as the user would (type into
// an edit, click a button, press Enter or Escape, use the close box) and read
// what the user would see. Controls that are hidden or disabled cannot be
// typed into or clicked, as on the screen.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog_host.h"

namespace quillbank {

class HeadlessDialog final : public DialogWindow {
 public:
  HeadlessDialog(const DialogTemplate& dialog, DialogHandler& handler);

  // Makes the controls as the template says and calls OnInitDialog.
  void Open();

  // The user's actions. Each returns false, and does nothing, when the user
  // could not have done it: the control is hidden, disabled or of another
  // kind, or the dialog has ended.
  bool Type(int id, const std::string& text);  // replaces an edit's text
  bool Click(int id);
  bool PressEnter();   // presses the default button when it can be pressed
  bool PressEscape();  // the cancel command
  bool CloseBox();     // the cancel command

  // What the user sees.
  [[nodiscard]] bool IsVisible(int id) const;
  [[nodiscard]] bool IsEnabled(int id) const;  // and visible: usable
  [[nodiscard]] std::string Text(int id) const;
  [[nodiscard]] bool Checked(int id) const;
  [[nodiscard]] std::vector<int> VisibleControls() const;  // identified ones, template order
  [[nodiscard]] int default_button() const { return default_button_; }
  [[nodiscard]] bool big_icon() const { return big_icon_; }
  [[nodiscard]] bool small_icon() const { return small_icon_; }
  [[nodiscard]] bool ended() const { return ended_; }
  [[nodiscard]] int result() const { return result_; }
  [[nodiscard]] const DialogTemplate& dialog_template() const { return template_; }

  // DialogWindow
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  void SetControlText(int id, const std::string& text) override;
  void SetCheck(int id, bool checked) override;
  std::string ControlText(int id) override { return Text(id); }
  bool IsChecked(int id) override { return Checked(id); }
  bool IsControlEnabled(int id) override;
  void SetDefaultButton(int id) override { default_button_ = id; }
  void SetAppIcon(bool big) override { (big ? big_icon_ : small_icon_) = true; }
  void EndDialog(int result) override;

 private:
  struct Control {
    const ControlTemplate* layout = nullptr;
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
  };
  Control* Find(int id);
  [[nodiscard]] const Control* Find(int id) const;
  [[nodiscard]] bool Usable(const Control* control) const;
  void TickInGroup(int id);

  const DialogTemplate& template_;
  DialogHandler& handler_;
  std::vector<Control> controls_;  // template order
  int default_button_ = -1;
  bool big_icon_ = false;
  bool small_icon_ = false;
  bool ended_ = false;
  int result_ = -1;
};

// Runs dialogs modally without a screen: each time a dialog opens, the user
// registered for its template acts in it; with none registered the user
// presses Escape.
class HeadlessFramework final : public DialogFramework {
 public:
  using User = std::function<void(HeadlessDialog&)>;

  void WhenShown(int template_id, User user) { users_[template_id] = std::move(user); }
  int DoModal(const DialogTemplate& dialog, DialogHandler& handler) override;

  // The templates shown so far, in order.
  [[nodiscard]] const std::vector<int>& shown() const { return shown_; }

 private:
  std::map<int, User> users_;
  std::vector<int> shown_;
};

}  // namespace quillbank
