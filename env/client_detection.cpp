#include "env/client_detection.h"

#include <algorithm>
#include <vector>

#include "core/ascii_text.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

constexpr std::size_t kTextCapacity = 300;
constexpr const char* kClientsMailKey = "SOFTWARE\\Clients\\Mail\\";

bool IsClientProcess(const ClientList& clients, const ProcessEntry& process) {
  for (int index = 0; index < clients.size(); ++index) {
    if (!clients.ExistsHere(index)) continue;
    const std::vector<const char*>& names = clients.SiteOf(index).processes;
    if (std::any_of(names.begin(), names.end(),
                    [&](const char* name) { return process.executable == name; })) {
      return true;
    }
  }
  return false;
}

bool AnyStillRunning(Platform& platform, const ClientList& clients) {
  for (int index = 0; index < clients.size(); ++index) {
    if (!clients.ExistsHere(index)) continue;
    const ClientSite& site = clients.SiteOf(index);
    if (site.still_running && site.still_running(platform, site)) return true;
  }
  return false;
}

// Where several markers are found (a path of one client that also names
// another), the client first in the list wins.
int ClientOfMailCommand(const ClientList& clients, const std::string& command) {
  for (int index = 0; index < clients.size(); ++index) {
    if (clients.ExistsHere(index) && command.find(clients.At(index)->mailto_marker) != std::string::npos) {
      return clients.At(index)->default_code;
    }
  }
  return kUnrecognisedDefaultClient;
}

}  // namespace

std::string ClientMailKey(const ClientSite& site) {
  return site.mail_key ? std::string(kClientsMailKey) + site.mail_key : std::string();
}

std::vector<std::string> DesktopEntryFolders(Platform& platform, const std::string& entry) {
  std::vector<std::string> found;
  for (const std::string& data : platform.user.DataFolders()) {
    if (platform.files.FileExists(JoinPath(platform, JoinPath(platform, data, "applications"), entry))) {
      found.push_back(data);
    }
  }
  return found;
}

bool IsClientInstalled(Platform& platform, const ClientSite& site) {
  if (!site.exists) return false;
  if (site.mail_key &&
      KeyExists(platform.registry, RegRoot::LocalMachine, ClientMailKey(site), RegAccess::Read)) {
    return true;
  }
  if (site.program_on_path && platform.user.OnPath(site.program_on_path)) return true;
  if (site.desktop_entry && !DesktopEntryFolders(platform, site.desktop_entry).empty()) return true;
  if (!site.installed_when_folder_exists) return false;
  const std::vector<std::string> folders = ClientFolders(platform, site);
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& folder) { return platform.files.FolderExists(folder); });
}

RunningClients CloseRunningClients(Platform& platform, const ClientList& clients,
                                   bool close_running, RunLog& log, std::uint32_t wait_ms) {
  Processes& processes = platform.processes;
  std::vector<ProcessEntry> found;
  for (const ProcessEntry& process : processes.List()) {
    if (IsClientProcess(clients, process)) found.push_back(process);
  }
  if (!found.empty() && !close_running) return RunningClients::Running;
  for (const ProcessEntry& process : found) processes.Terminate(process.id);
  for (const ProcessEntry& process : found) {
    const bool ended = processes.WaitForExit(process.id, wait_ms);
    if (!ended) wait_ms = 0;
    log << "Running Email Client Detected: " << process.executable
        << (ended ? ". Closed." : ". Did not quit.") << kEndLine;
  }
  if (AnyStillRunning(platform, clients)) return RunningClients::Running;
  return found.empty() ? RunningClients::None : RunningClients::Closed;
}

DefaultClientFound DefaultClient(Platform& platform, const ClientList& clients) {
  DefaultClientFound found;
  bool named = true;
  if (clients.kind() == SystemKind::UserHome) {
    found.asked_desktop = true;
    found.handler = FindDesktopMailHandler(platform);
    named = found.handler.has_value();
    const int index = named ? ClientOfDesktopFile(platform, clients, found.handler->desktop_id)
                            : kNoClient;
    if (clients.IsIndex(index)) found.code = clients.At(index)->default_code;
  } else {
    const std::optional<std::string> command =
        ReadText(platform.registry, RegRoot::ClassesRoot, "mailto\\shell\\open\\command",
                 RegAccess::Read, "", kTextCapacity);
    named = command.has_value();
    found.code = ClientOfMailCommand(clients, AsciiLower(command.value_or("")));
  }
  if (!named && found.code == kUnrecognisedDefaultClient) {
    for (int index = 0; index < clients.size(); ++index) {
      if (clients.ExistsHere(index) && clients.SiteOf(index).default_when_unset) {
        found.code = clients.At(index)->default_code;
        break;
      }
    }
  }
  return found;
}

}  // namespace quillbank
