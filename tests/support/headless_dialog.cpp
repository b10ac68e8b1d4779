#include "tests/support/headless_dialog.h"

namespace quillbank {

HeadlessDialog::HeadlessDialog(const DialogTemplate& dialog, DialogHandler& handler)
    : template_(dialog), handler_(handler) {}

void HeadlessDialog::Open() {
  controls_.clear();
  for (const ControlTemplate& layout : template_.controls) {
    Control control;
    control.layout = &layout;
    control.text = layout.text;
    control.visible = !layout.Has(control_style::kHidden);
    control.enabled = !layout.Has(control_style::kDisabled);
    controls_.push_back(control);
    if (layout.kind == ControlKind::DefPushButton && default_button_ == -1) {
      default_button_ = layout.id;
    }
  }
  handler_.OnInitDialog(*this);
}

HeadlessDialog::Control* HeadlessDialog::Find(int id) {
  for (Control& control : controls_) {
    if (control.layout->id == id) return &control;
  }
  return nullptr;
}

const HeadlessDialog::Control* HeadlessDialog::Find(int id) const {
  return const_cast<HeadlessDialog*>(this)->Find(id);
}

bool HeadlessDialog::Usable(const Control* control) const {
  return !ended_ && control && control->visible && control->enabled;
}

// ------------------------------------------------------------ user actions

bool HeadlessDialog::Type(int id, const std::string& text) {
  Control* control = Find(id);
  if (!Usable(control) || control->layout->kind != ControlKind::Edit) return false;
  if (control->text == text) return true;  // an edit reports changes only
  control->text = text;
  handler_.OnControl(id, ControlEvent::TextChanged);
  return true;
}

void HeadlessDialog::TickInGroup(int id) {
  // A radio group runs from a control that starts a group to the next one.
  std::size_t index = 0;
  while (index < controls_.size() && controls_[index].layout->id != id) ++index;
  std::size_t start = index;
  while (start > 0 && !controls_[start].layout->Has(control_style::kGroup)) --start;
  for (std::size_t i = start; i < controls_.size(); ++i) {
    if (i > start && controls_[i].layout->Has(control_style::kGroup)) break;
    if (controls_[i].layout->kind == ControlKind::RadioButton) controls_[i].checked = i == index;
  }
}

bool HeadlessDialog::Click(int id) {
  Control* control = Find(id);
  if (!Usable(control)) return false;
  switch (control->layout->kind) {
    case ControlKind::RadioButton:
      TickInGroup(id);
      break;
    case ControlKind::CheckBox:
      control->checked = !control->checked;
      break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      if (id == kIdCancel) {
        handler_.OnCancel();
        return true;
      }
      break;
    default:
      return false;
  }
  handler_.OnControl(id, ControlEvent::Clicked);
  return true;
}

bool HeadlessDialog::PressEnter() {
  // Like the dialog manager: a default button that is disabled (or gone)
  // makes Enter do nothing.
  if (ended_ || default_button_ == -1) return false;
  return Click(default_button_);
}

bool HeadlessDialog::PressEscape() {
  if (ended_) return false;
  handler_.OnCancel();
  return true;
}

bool HeadlessDialog::CloseBox() { return PressEscape(); }

// ------------------------------------------------------------ what is seen

bool HeadlessDialog::IsVisible(int id) const {
  const Control* control = Find(id);
  return control && control->visible;
}

bool HeadlessDialog::IsEnabled(int id) const { return Usable(Find(id)); }

std::string HeadlessDialog::Text(int id) const {
  const Control* control = Find(id);
  return control ? control->text : std::string();
}

bool HeadlessDialog::Checked(int id) const {
  const Control* control = Find(id);
  return control && control->checked;
}

std::vector<int> HeadlessDialog::VisibleControls() const {
  std::vector<int> ids;
  for (const Control& control : controls_) {
    if (control.visible && control.layout->id != -1) ids.push_back(control.layout->id);
  }
  return ids;
}

// ------------------------------------------------------------ DialogWindow

void HeadlessDialog::ShowControl(int id, bool show) {
  if (Control* control = Find(id)) control->visible = show;
}

void HeadlessDialog::EnableControl(int id, bool enable) {
  if (Control* control = Find(id)) control->enabled = enable;
}

void HeadlessDialog::SetControlText(int id, const std::string& text) {
  if (Control* control = Find(id)) control->text = text;
}

void HeadlessDialog::SetCheck(int id, bool checked) {
  if (Control* control = Find(id)) control->checked = checked;
}

bool HeadlessDialog::IsControlEnabled(int id) {
  const Control* control = Find(id);
  return control && control->enabled;
}

void HeadlessDialog::EndDialog(int result) {
  ended_ = true;
  result_ = result;
}

// ------------------------------------------------------------ framework

int HeadlessFramework::DoModal(const DialogTemplate& dialog, DialogHandler& handler) {
  shown_.push_back(dialog.id);
  HeadlessDialog window(dialog, handler);
  window.Open();
  auto user = users_.find(dialog.id);
  if (user != users_.end()) {
    user->second(window);
  } else {
    window.PressEscape();
  }
  return window.ended() ? window.result() : -1;
}

}  // namespace quillbank
