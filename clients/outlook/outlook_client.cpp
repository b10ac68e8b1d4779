#include "clients/outlook/outlook_client.h"

#include <cstdlib>

#include "clients/common/client_description.h"
#include "clients/outlook/outlook2000_configurator.h"
#include "clients/outlook/outlook_own_store.h"
#include "clients/outlook/outlook_profile_configurator.h"
#include "env/client_detection.h"
#include "env/platform/mapi.h"
#include "env/registry_access.h"
#include "env/registry_tree_dump.h"

namespace quillbank {
namespace {

constexpr std::size_t kTextCapacity = 300;

std::string StatusMessage(ConfigStatus status) {
  if (status == status::kCannotConfigure || status == status::kStoreUnreadable) {
    return kUnableToConfigure;
  }
  if (status == status::kNeverStarted) {
    return "ERROR: Outlook has not been run for the first time. Please run and close Outlook "
           "and try again.";
  }
  if (status == status::kNoDefaultProfile) {
    return "ERROR: No default email profile found. Please run Outlook and select a Default "
           "Profile when prompted during startup.";
  }
  if (status == status::kAutoAccountExists) return kAutoAccountFound;
  if (status == status::kUnsupportedVersion) {
    return "This version of Outlook keeps its accounts where Quillbank does not write them. Add "
           "the account in Outlook with the settings in the log.";
  }
  return "";
}

// A store that cannot be read, or no profile at all: the profile keys as
// they are help to tell why.
void LogFailure(Platform& platform, ConfigStatus status, RunLog& log) {
  if (status != status::kStoreUnreadable && status != status::kNeverStarted) return;
  log.Line("Relevant Registry Structure:");
  DumpRegistryTree(platform.registry, kMessagingSubsystemKey, 0, log);
}

// Outlook keeps its accounts in one of three stores, chosen by its version;
// the program writes only the first two.
std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem& client) {
  if (client.version >= kFirstOwnStoreOutlookVersion) {
    return std::make_unique<OutlookOwnStoreConfigurator>(request, client.version);
  }
  if (client.version < kFirstProfileStoreOutlookVersion) {
    // MAPI's failure lines go to the program's standard output.
    return std::make_unique<Outlook2000Configurator>(platform, request, StandardOutput());
  }
  return std::make_unique<OutlookProfileConfigurator>(platform, request);
}

}  // namespace

const ClientDescriptor& OutlookClient() {
  static const ClientDescriptor client = [] {
    ClientDescriptor outlook = DescribeStore<Make>(
        {2, "Microsoft Outlook", "Outlook", "OUTLOOK.EXE", "outlook.exe", true,
         4,  // detected last, with its version
         {1014, 43, 47, 71, 10, "Microsoft Outlook"}},
        WindowsSite("Microsoft Outlook", "OUTLOOK.EXE"), StatusMessage);
    outlook.read_version = ReadOutlookVersion;
    outlook.log_failure = LogFailure;
    return outlook;
  }();
  return client;
}

int ReadOutlookVersion(Registry& registry) {
  const auto text =
      ReadText(registry, RegRoot::LocalMachine, ClientMailKey(OutlookClient().site(SystemKind::Windows)),
               RegAccess::Read, "MSIApplicationLCID", kTextCapacity);
  if (!text) return kUnknownOutlookVersion;
  const std::size_t office = text->find("Office\\");
  if (office == std::string::npos) return kUnknownOutlookVersion;
  const std::size_t start = office + 7;
  const std::size_t end = text->find(".0\\", start);
  if (end == std::string::npos) return kUnknownOutlookVersion;
  return std::atoi(text->substr(start, end - start).c_str());
}

}  // namespace quillbank
