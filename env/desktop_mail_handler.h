// The mail program a Linux desktop opens "mailto:" links with: the
// "x-scheme-handler/mailto" entry of [Default Applications] in the desktop's
// mimeapps.list files, and the client the desktop file it names stands for.
// Only reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/client_list.h"
#include "env/platform/platform.h"

namespace quillbank {

// The handler the desktop names, and the file that named it.
struct DesktopMailHandler {
  std::string desktop_id;  // the first desktop id the entry lists
  std::string list_file;   // the path of that mimeapps.list
};

// The mimeapps.list files in the order the desktop reads them: in each
// configuration folder, then in the "applications" folder of each data
// folder, "<desktop>-mimeapps.list" for each current desktop in order, then
// "mimeapps.list".
[[nodiscard]] std::vector<std::string> MimeAppsLists(Platform& platform);

// The handler of the first of those files that has the entry (with at least
// one desktop id); none when no file has.
[[nodiscard]] std::optional<DesktopMailHandler> FindDesktopMailHandler(Platform& platform);

// The index of the client that exists here and whose PATH program the
// desktop id names as a word (without regard to case: "thunderbird.desktop",
// "org.mozilla.Thunderbird.desktop"), else the first whose program the
// desktop file's Exec line runs (found in the "applications" folder of the
// first data folder that has it): the command's own file name, or the
// application a "flatpak run" starts, named as in an id. kNoClient when
// neither names a client.
[[nodiscard]] int ClientOfDesktopFile(Platform& platform, const ClientList& clients,
                                      std::string_view desktop_id);

}  // namespace quillbank
