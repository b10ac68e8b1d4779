// Moves values between a dialog's controls and the fields they are bound to,
// in one direction per exchange: from the controls into the fields (save) or
// from the fields into the controls.
#pragma once

#include <string>
#include <vector>

#include "ui/dialog_host.h"

namespace quillbank {

class DataExchange {
 public:
  DataExchange(DialogWindow& window, bool save) : window_(window), save_(save) {}

  // An edit's text.
  void Text(int id, std::string& field) {
    if (save_) {
      field = window_.ControlText(id);
    } else {
      window_.SetControlText(id, field);
    }
  }
  // A check box: ticked is true.
  void Check(int id, bool& field) {
    if (save_) {
      field = window_.IsChecked(id);
    } else {
      window_.SetCheck(id, field);
    }
  }
  // A radio group given by the button of each index (0 where an index has
  // none): the index of the ticked button, -1 when none is ticked.
  void RadioGroup(const std::vector<int>& buttons, int& index) {
    if (save_) {
      index = -1;
      for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] != 0 && window_.IsChecked(buttons[i])) {
          index = static_cast<int>(i);
          break;
        }
      }
    } else {
      for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] != 0) window_.SetCheck(buttons[i], static_cast<int>(i) == index);
      }
    }
  }

 private:
  DialogWindow& window_;
  bool save_;
};

}  // namespace quillbank
