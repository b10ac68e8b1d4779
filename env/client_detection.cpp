#include "env/client_detection.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr std::size_t kTextCapacity = 300;
constexpr const char* kClientsMailKey = "SOFTWARE\\Clients\\Mail\\";

}  // namespace

std::string ClientMailKey(MailClient client) {
  return std::string(kClientsMailKey) + ClientInfo(client).mail_key;
}

bool IsClientInstalled(Registry& registry, MailClient client) {
  return KeyExists(registry, RegRoot::LocalMachine, ClientMailKey(client), RegAccess::Read);
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

bool CloseRunningClients(Processes& processes, bool close_running, RunLog& log,
                         std::uint32_t wait_ms) {
  bool found = false;
  for (const ProcessEntry& process : processes.List()) {
    const bool is_client =
        std::any_of(kClientTable.begin(), kClientTable.end(),
                    [&](const ClientRow& row) { return process.executable == row.executable; });
    if (!is_client) continue;
    found = true;
    if (close_running) {
      processes.Terminate(process.id);
      // A client that is still shutting down would write its settings over
      // the ones the run is about to write.
      processes.WaitForExit(process.id, wait_ms);
      log << "Running Email Client Detected: " << process.executable << ". Closed." << kEndLine;
    }
  }
  return found;
}

int DefaultClient(Registry& registry) {
  std::string command = ReadText(registry, RegRoot::ClassesRoot, "mailto\\shell\\open\\command",
                                 RegAccess::Read, "", kTextCapacity)
                            .value_or("");
  for (char& c : command) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Where several markers are found (a Thunderbird path that also names
  // Outlook Express, say), the client first in the table wins.
  for (const ClientRow& row : kClientTable) {
    if (command.find(row.mailto_marker) != std::string::npos) return row.default_code;
  }
  return kUnrecognisedDefaultClient;
}

}  // namespace quillbank
