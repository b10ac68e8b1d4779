#include "env/client_detection.h"

#include <algorithm>
#include <cstdlib>

#include "core/ascii_text.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

constexpr std::size_t kTextCapacity = 300;
constexpr const char* kClientsMailKey = "SOFTWARE\\Clients\\Mail\\";

bool IsWindowsClient(const ProcessEntry& process) {
  return std::any_of(kClientTable.begin(), kClientTable.end(),
                     [&](const ClientRow& row) { return process.executable == row.executable; });
}

// Thunderbird's own processes on Linux: the program and, in some packages,
// its "-bin" beside it.
bool IsHomeThunderbird(const ProcessEntry& process) {
  return process.executable == "thunderbird" || process.executable == "thunderbird-bin";
}

// Every folder that may be a profile: the entries of each Thunderbird folder
// (where Thunderbird on Linux makes its profiles) and of its "Profiles"
// folder (where a profile made for a first-time user lies).
bool AnyThunderbirdProfileInUse(Platform& platform) {
  for (const std::string& folder : platform.home->ThunderbirdFolders()) {
    for (const std::string& level : {folder, JoinPath(platform, folder, "Profiles")}) {
      for (const std::string& name : platform.files.ListFolder(JoinPath(platform, level, "*"))) {
        if (name == "." || name == "..") continue;
        if (platform.home->ProfileInUse(JoinPath(platform, level, name))) return true;
      }
    }
  }
  return false;
}

// Thunderbird's processes all get the request to quit at once, and the wait
// for them shares one budget: once a wait has used it up, the others only
// look. It writes prefs.js as it quits, so the run reads it only afterwards.
RunningClients CloseHomeThunderbird(Platform& platform, bool close_running, RunLog& log,
                                    std::uint32_t wait_ms) {
  Processes& processes = platform.processes;
  std::vector<ProcessEntry> found;
  for (const ProcessEntry& process : processes.List()) {
    if (IsHomeThunderbird(process)) found.push_back(process);
  }
  if (!found.empty() && !close_running) return RunningClients::Running;
  for (const ProcessEntry& process : found) processes.Terminate(process.id);
  for (const ProcessEntry& process : found) {
    const bool ended = processes.WaitForExit(process.id, wait_ms);
    if (!ended) wait_ms = 0;
    log << "Running Email Client Detected: " << process.executable
        << (ended ? ". Closed." : ". Did not quit.") << kEndLine;
  }
  // A profile held by a process this user cannot see or end (one in another
  // PID namespace, or on another host) keeps Thunderbird running.
  if (AnyThunderbirdProfileInUse(platform)) return RunningClients::Running;
  return found.empty() ? RunningClients::None : RunningClients::Closed;
}

}  // namespace

std::string ClientMailKey(MailClient client) {
  return std::string(kClientsMailKey) + ClientInfo(client).mail_key;
}

bool IsClientInstalled(Platform& platform, MailClient client) {
  if (platform.home) {
    if (client != MailClient::Thunderbird) return false;
    if (platform.home->ThunderbirdOnPath()) return true;
    const std::vector<std::string> folders = platform.home->ThunderbirdFolders();
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return platform.files.FolderExists(folder); });
  }
  return KeyExists(platform.registry, RegRoot::LocalMachine, ClientMailKey(client),
                   RegAccess::Read);
}

int ReadOutlookVersion(Registry& registry) {
  const auto text = ReadText(registry, RegRoot::LocalMachine, ClientMailKey(MailClient::Outlook),
                             RegAccess::Read, "MSIApplicationLCID", kTextCapacity);
  if (!text) return kUnknownOutlookVersion;
  const std::size_t office = text->find("Office\\");
  if (office == std::string::npos) return kUnknownOutlookVersion;
  const std::size_t start = office + 7;
  const std::size_t end = text->find(".0\\", start);
  if (end == std::string::npos) return kUnknownOutlookVersion;
  return std::atoi(text->substr(start, end - start).c_str());
}

RunningClients CloseRunningClients(Platform& platform, bool close_running, RunLog& log,
                                   std::uint32_t wait_ms) {
  if (platform.home) return CloseHomeThunderbird(platform, close_running, log, wait_ms);
  Processes& processes = platform.processes;
  bool found = false;
  for (const ProcessEntry& process : processes.List()) {
    if (!IsWindowsClient(process)) continue;
    found = true;
    if (close_running) {
      processes.Terminate(process.id);
      // A client that is still shutting down would write its settings over
      // the ones the run is about to write.
      processes.WaitForExit(process.id, wait_ms);
      log << "Running Email Client Detected: " << process.executable << ". Closed." << kEndLine;
    }
  }
  if (!found) return RunningClients::None;
  return close_running ? RunningClients::Closed : RunningClients::Running;
}

int DefaultClient(Platform& platform) {
  if (platform.home) return ClientInfo(MailClient::Thunderbird).default_code;
  Registry& registry = platform.registry;
  const std::string command =
      AsciiLower(ReadText(registry, RegRoot::ClassesRoot, "mailto\\shell\\open\\command",
                          RegAccess::Read, "", kTextCapacity)
                     .value_or(""));
  // Where several markers are found (a Thunderbird path that also names
  // Outlook Express, say), the client first in the table wins.
  for (const ClientRow& row : kClientTable) {
    if (command.find(row.mailto_marker) != std::string::npos) return row.default_code;
  }
  return kUnrecognisedDefaultClient;
}

}  // namespace quillbank
