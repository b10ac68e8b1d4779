// The program's clients by name, for tests: their place in the one list of
// descriptors, and the lists a run on the machine folder or in the home sees.
#pragma once

#include <string>
#include <vector>

#include "app/client_configurators.h"
#include "core/client_list.h"
#include "env/client_detection.h"
#include "env/client_launch.h"
#include "ui/dialog_template.h"

namespace quillbank {

enum class MailClient {
  OutlookExpress = 0,
  Outlook = 1,
  WindowsMail = 2,
  Eudora = 3,
  Thunderbird = 4,
  Evolution = 5,
};

inline const ClientDescriptor& Client(MailClient client) {
  return *AllClients()[static_cast<std::size_t>(client)];
}
inline const ClientList& MachineClients() {
  static const ClientList clients(AllClients(), SystemKind::MachineFolder);
  return clients;
}
inline const ClientList& HomeClients() {
  static const ClientList clients(AllClients(), SystemKind::UserHome);
  return clients;
}
inline std::string ClientMailKey(MailClient client) {
  return ClientMailKey(Client(client).site(SystemKind::MachineFolder));
}
inline std::string AppPathsKey(MailClient client) { return AppPathsKey(Client(client)); }
inline std::string ClientName(int index) { return MachineClients().Name(index); }
// The main dialog of a run on the machine folder, kept for the whole test
// program as a window keeps its template.
inline const DialogTemplate& MachineDialogTemplate() {
  static const DialogTemplate dialog = ConfigDialogTemplate(MachineClients());
  return dialog;
}


// The clients' radio buttons in the main dialog, as its template has always
// had them.
namespace config_ids {
inline constexpr int kOutlookExpress = 1000;
inline constexpr int kOutlook = 1014;
inline constexpr int kEudora = 1015;
inline constexpr int kThunderbird = 1016;
inline constexpr int kWindowsMail = 1026;
inline const std::vector<int> kClientButtons = {kOutlookExpress, kOutlook, kWindowsMail, kEudora,
                                                kThunderbird};
}  // namespace config_ids

}  // namespace quillbank
