// Dialog templates as data: the one description of each dialog that every
// host builds its window from (the Win32 host turns it into an in-memory
// DLGTEMPLATE, the headless host into a table of control states).
#pragma once

#include <string>
#include <vector>

#include "core/client_list.h"

namespace quillbank {

enum class ControlKind {
  StaticText,
  RadioButton,     // automatic: a click ticks it and clears the rest of its group
  CheckBox,        // automatic: a click toggles it
  PushButton,
  DefPushButton,   // the button Enter presses
  Edit,
  GroupBox,
};

// Style flags of a control, in the host-neutral form the templates use.
namespace control_style {
inline constexpr unsigned kGroup = 1u << 0;       // starts a group (radio groups end at the next)
inline constexpr unsigned kTabStop = 1u << 1;
inline constexpr unsigned kHidden = 1u << 2;      // not visible at start
inline constexpr unsigned kDisabled = 1u << 3;    // disabled at start
inline constexpr unsigned kBorder = 1u << 4;      // edits
inline constexpr unsigned kAutoHScroll = 1u << 5; // edits scroll sideways as the user types
}  // namespace control_style

// Positions and sizes are in dialog units, as resource templates give them.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct ControlTemplate {
  int id = -1;  // -1: a static text without an identifier of its own
  ControlKind kind = ControlKind::StaticText;
  std::string text;
  DialogRect rect;
  unsigned style = 0;

  [[nodiscard]] bool Has(unsigned flag) const { return (style & flag) != 0; }
};

struct DialogTemplate {
  int id = 0;  // the resource identifier the dialog is known by
  std::string caption;
  int width = 0;   // dialog units
  int height = 0;
  std::string font_name;
  int font_points = 0;
  bool on_taskbar = false;  // an application window of its own on the taskbar
  std::vector<ControlTemplate> controls;  // in tab order

  // The control with `id`; null when there is none.
  [[nodiscard]] const ControlTemplate* Find(int control_id) const;
};

// Identifiers shared by both dialogs.
inline constexpr int kIdCancel = 2;        // Cancel, later Close
inline constexpr int kAppIconResource = 129;

// The main dialog, template 102.
namespace config_ids {
inline constexpr int kTemplate = 102;
inline constexpr int kConfigure = 1002;
inline constexpr int kMakeDefault = 1003;
inline constexpr int kAddress = 1004;
inline constexpr int kDisplayName = 1005;
inline constexpr int kIntro = 1009;
inline constexpr int kDetailsLabel = 1010;
inline constexpr int kNameLabel = 1011;
inline constexpr int kAddressLabel = 1012;
inline constexpr int kSelectLabel = 1013;
inline constexpr int kAbout = 1018;
inline constexpr int kLaunch = 1024;
inline constexpr int kOverwrite = 1025;
inline constexpr int kUseSsl = 1027;
// The clients' radio buttons come from the clients (see ClientButtons).
}  // namespace config_ids

// The About box, template 131.
namespace about_ids {
inline constexpr int kTemplate = 131;
inline constexpr int kUserName = 1019;
inline constexpr int kOutgoingServer = 1020;
inline constexpr int kSmtpPort = 1021;
inline constexpr int kImapPort = 1022;
inline constexpr int kIncomingServer = 1023;
}  // namespace about_ids

// The main dialog with a radio button for each client of `clients` that has
// one, in client index order, after the "Select one:" label.
[[nodiscard]] DialogTemplate ConfigDialogTemplate(const ClientList& clients);
// The button of each client index; 0 for a client without one.
[[nodiscard]] std::vector<int> ClientButtons(const ClientList& clients);
[[nodiscard]] const DialogTemplate& AboutDialogTemplate();

}  // namespace quillbank
