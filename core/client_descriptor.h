// Everything the program knows about one mail client outside its own store,
// exported by the client's folder: its names and keys, how detection finds
// it, its status messages, its radio button, where it exists, and the makers
// of its configurator and reader. The program learns about clients only from
// the one list of descriptors in app/.
//
// A client has two numberings: its position in that list (the radio button's
// place and the "-c" value; kNoClient for none) and the default client code
// that detection reports (kUnrecognisedDefaultClient when none is found).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/account_request.h"
#include "core/config_status.h"
#include "core/configurator.h"
#include "core/system_kind.h"

namespace quillbank {

struct Platform;
class Registry;
class RunLog;

inline constexpr int kNoClient = -1;
inline constexpr int kUnrecognisedDefaultClient = 0;

// A folder of the user's that the platform knows (see UserSpace).
enum class UserFolder { Home, AppData };

// A folder below one of the user's folders; `relative` uses "/" and is
// written with the system's separator when the folder is resolved.
struct FolderBelow {
  UserFolder base;
  const char* relative;
};

// What a client looks like on one kind of system. A client whose `exists` is
// false cannot be configured there and is never detected.
struct ClientSite;
using StillRunning = bool (*)(Platform& platform, const ClientSite& site);

struct ClientSite {
  bool exists = false;
  // Installed when HKLM "SOFTWARE\Clients\Mail\<mail_key>" can be opened.
  const char* mail_key = nullptr;
  // Installed when PATH holds an executable file of this name.
  const char* program_on_path = nullptr;
  // Installed when an "applications" folder below one of the desktop's data
  // folders (UserSpace::DataFolders) holds this desktop entry.
  const char* desktop_entry = nullptr;
  // Where the client keeps its settings, in the order they are preferred.
  std::vector<FolderBelow> folders;
  // Installed when one of `folders` exists.
  bool installed_when_folder_exists = false;
  // The process file names of the running client (compared exactly).
  std::vector<const char*> processes;
  // Still running after its processes were asked to end (a settings folder
  // held by a process this user cannot see or end); null when only the
  // processes count.
  StillRunning still_running = nullptr;
  // The line end of files the run creates, and whether a file that exists
  // keeps its own first line end instead.
  const char* line_end = "\r\n";
  bool keeps_file_line_end = false;
  // Taken as the default client when the system names no mail handler.
  bool default_when_unset = false;
};

// The place and label of the client's radio button in the main dialog, in
// dialog units; an id of 0 means the client has no button.
struct RadioButtonPlace {
  int id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  const char* label = "";
};

// A client as one run sees it: its site on the system and, where the client
// reports one, its detected major version.
struct ClientOnSystem {
  const ClientSite& site;
  int version = -1;
};

// Makes the client's configurator from the complete request.
using MakeConfigurator = std::unique_ptr<Configurator> (*)(
    Platform& platform, const AccountRequest& request, const ClientOnSystem& client);
// Makes the reader of the client's accounts, which only reads.
using MakeReader = std::unique_ptr<AccountReader> (*)(Platform& platform, RunLog& log,
                                                      const ClientOnSystem& client);

// The site of a client on Windows and on the machine folder that stands in
// for it: installed when its Clients\Mail key exists, running while a
// process of its executable's name runs.
[[nodiscard]] inline ClientSite WindowsSite(const char* mail_key, const char* executable) {
  ClientSite site;
  site.exists = true;
  site.mail_key = mail_key;
  site.processes = {executable};
  return site;
}

struct ClientDescriptor {
  int default_code;            // what detection reports for the default client
  const char* name;            // in log lines and messages
  const char* short_name;      // in the usage text and messages
  const char* app_paths_entry; // below HKLM "...\CurrentVersion\App Paths\"
  const char* mailto_marker;   // in the "mailto" command of the default client (lower case)
  bool has_default_option;     // whether "make this my default account" applies
  // Detection logs the clients by rank, lowest first.
  int detection_rank;
  RadioButtonPlace button;
  // Indexed by SystemKind.
  std::array<ClientSite, kSystemKindCount> sites;
  // The message of a status that is the client's own; empty when the status
  // has no message of the client's.
  std::string (*status_message)(ConfigStatus status);
  // The client's major version, read once it is found installed; null when
  // the client reports none.
  int (*read_version)(Registry& registry) = nullptr;
  // Adds what helps to tell why a run failed to the log; null when there is
  // nothing to add.
  void (*log_failure)(Platform& platform, ConfigStatus status, RunLog& log) = nullptr;
  MakeConfigurator make_configurator = nullptr;
  // Null for a client whose accounts the automatic mode cannot read.
  MakeReader make_reader = nullptr;

  [[nodiscard]] const ClientSite& site(SystemKind kind) const {
    return sites[static_cast<std::size_t>(kind)];
  }
};

}  // namespace quillbank
