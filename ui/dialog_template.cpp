#include "ui/dialog_template.h"

#include <algorithm>

namespace quillbank {
namespace {

using namespace control_style;

constexpr unsigned kEditStyle = kBorder | kAutoHScroll | kTabStop;

DialogTemplate MakeConfigTemplate(const ClientList& clients) {
  using namespace config_ids;
  DialogTemplate dialog;
  dialog.id = kTemplate;
  dialog.caption = "Tessaline";
  dialog.width = 302;
  dialog.height = 174;
  dialog.font_name = "MS Sans Serif";
  dialog.font_points = 8;
  dialog.on_taskbar = true;
  dialog.controls = {
      {kIntro, ControlKind::StaticText,
       "This utility will automatically configure your email client for your email account. ",
       {11, 10, 279, 16}, kGroup},
      {kSelectLabel, ControlKind::StaticText, "Select one:", {19, 26, 48, 8}, kGroup},
      // Starts a group of its own so that the radio group ends above it.
      {kAddressLabel, ControlKind::StaticText, "Email Address:", {30, 118, 51, 8}, kGroup},
      {kMakeDefault, ControlKind::CheckBox, "Make this my default account", {41, 140, 109, 10},
       kGroup | kTabStop},
      {kOverwrite, ControlKind::CheckBox, "Overwrite existing account", {41, 149, 101, 10},
       kTabStop},
      {kConfigure, ControlKind::DefPushButton, "Configure", {182, 149, 50, 14},
       kTabStop | kDisabled},
      {kIdCancel, ControlKind::PushButton, "Cancel", {236, 149, 50, 14}, kTabStop},
      {kNameLabel, ControlKind::StaticText, "Your Name:", {30, 105, 53, 8}, kGroup},
      {-1, ControlKind::GroupBox, "Static", {32, 33, 115, 45}, kHidden},
      {kDisplayName, ControlKind::Edit, "", {83, 103, 77, 12}, kEditStyle},
      {kAddress, ControlKind::Edit, "", {83, 117, 77, 12}, kEditStyle},
      {kDetailsLabel, ControlKind::StaticText,
       "Provide the following details for the account you wish to set up:", {21, 91, 227, 8},
       kGroup},
      {kAbout, ControlKind::PushButton, "About", {236, 40, 46, 15}, kTabStop},
      {kLaunch, ControlKind::CheckBox, "Launch my email client immediately", {73, 45, 156, 12},
       kTabStop | kHidden},
      {kUseSsl, ControlKind::CheckBox, "Use SSL", {41, 132, 101, 8}, kTabStop},
  };
  // The clients' radio buttons follow "Select one:", the first starting the
  // group and the tab stop.
  std::vector<ControlTemplate> buttons;
  for (int index = 0; index < clients.size(); ++index) {
    const RadioButtonPlace& place = clients.At(index)->button;
    if (place.id == 0) continue;
    buttons.push_back({place.id, ControlKind::RadioButton, place.label,
                       {place.x, place.y, place.width, place.height},
                       buttons.empty() ? kGroup | kTabStop : 0u});
  }
  const auto select = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                   [](const ControlTemplate& c) { return c.id == kSelectLabel; });
  dialog.controls.insert(select + 1, buttons.begin(), buttons.end());
  return dialog;
}

DialogTemplate MakeAboutTemplate() {
  using namespace about_ids;
  DialogTemplate dialog;
  dialog.id = kTemplate;
  dialog.caption = "About Quillbank";
  dialog.width = 251;
  dialog.height = 214;
  dialog.font_name = "MS Sans Serif";
  dialog.font_points = 8;
  const auto text = [](int id, DialogRect rect, const char* words) {
    return ControlTemplate{id, ControlKind::StaticText, words, rect, kGroup};
  };
  dialog.controls = {
      {kIdCancel, ControlKind::PushButton, "Close", {194, 193, 50, 14}, kTabStop},
      text(-1, {7, 6, 237, 18},
           "Quillbank automatically configures your email client, according to the "
           "recommended settings for your account. "),
      text(-1, {7, 27, 237, 24},
           "This tool supports the following Windows email clients: Microsoft Outlook 2000, "
           "2002, 2003, 2007, Microsoft Outlook Express, Microsoft Windows Mail, Mozilla "
           "Thunderbird, and Qualcomm Eudora."),
      text(-1, {7, 56, 237, 26},
           "When you run Quillbank, your default email client will be selected by default, "
           "if detected. Email clients that are not installed on your computer will appear "
           "grayed out in the list."),
      text(-1, {7, 85, 195, 8}, "Configured accounts will have the following settings:"),
      text(-1, {27, 96, 54, 8}, "Account Name:"),
      text(-1, {27, 104, 53, 9}, "Account Type:"),
      text(kUserName, {27, 113, 56, 8}, "IMAP Username:"),
      text(-1, {27, 122, 45, 10}, "IMAP Server: "),
      text(kImapPort, {27, 140, 80, 8}, "IMAP Port:"),
      text(-1, {27, 131, 46, 9}, "SMTP Server:"),
      text(kSmtpPort, {111, 140, 75, 9}, "SMTP Port:"),
      text(-1, {27, 150, 156, 9}, "IMAP SSL, SMTP SSL, and SMTP Auth"),
      text(-1, {7, 166, 185, 25},
           "When you run Quillbank, a log file (Quillbank.log) will be generated in your "
           "Application Data folder."),
      text(-1, {87, 96, 101, 8}, "<entered email address>"),
      text(-1, {88, 105, 33, 8}, "IMAP"),
      text(-1, {87, 113, 101, 8}, "<entered email address>"),
      text(kIncomingServer, {87, 123, 102, 8}, ""),
      text(kOutgoingServer, {87, 132, 114, 8}, ""),
  };
  return dialog;
}

}  // namespace

const ControlTemplate* DialogTemplate::Find(int control_id) const {
  for (const ControlTemplate& control : controls) {
    if (control.id == control_id) return &control;
  }
  return nullptr;
}

DialogTemplate ConfigDialogTemplate(const ClientList& clients) {
  return MakeConfigTemplate(clients);
}

std::vector<int> ClientButtons(const ClientList& clients) {
  std::vector<int> buttons;
  for (int index = 0; index < clients.size(); ++index) buttons.push_back(clients.At(index)->button.id);
  return buttons;
}

const DialogTemplate& AboutDialogTemplate() {
  static const DialogTemplate dialog = MakeAboutTemplate();
  return dialog;
}

}  // namespace quillbank
