#include "env/client_detection.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr std::size_t kTextCapacity = 300;

// Executables of the clients, compared with each process's file name exactly.
constexpr std::array<const char*, 5> kClientExecutables = {"OUTLOOK.EXE", "thunderbird.exe",
                                                           "Eudora.exe", "msimn.exe",
                                                           "WinMail.exe"};

struct DefaultMarker {
  const char* marker;
  int code;
};
// Searched in this order; a later match replaces an earlier one.
constexpr std::array<DefaultMarker, 5> kDefaultMarkers = {{{"thunde", 5},
                                                           {"eudora", 4},
                                                           {"winmail", 3},
                                                           {"outlook.exe", 2},
                                                           {"msimn", 1}}};

}  // namespace

std::string ClientMailKey(MailClient client) {
  switch (client) {
    case MailClient::Thunderbird: return "SOFTWARE\\Clients\\Mail\\Mozilla Thunderbird";
    case MailClient::Eudora: return "SOFTWARE\\Clients\\Mail\\Eudora";
    case MailClient::OutlookExpress: return "SOFTWARE\\Clients\\Mail\\Outlook Express";
    case MailClient::WindowsMail: return "SOFTWARE\\Clients\\Mail\\Windows Mail";
    case MailClient::Outlook: return "SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
  }
  return "";
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
    bool is_client = false;
    for (const char* executable : kClientExecutables) {
      if (process.executable == executable) is_client = true;
    }
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
  int code = 0;
  for (const DefaultMarker& entry : kDefaultMarkers) {
    if (command.find(entry.marker) != std::string::npos) code = entry.code;
  }
  return code;
}

}  // namespace quillbank
