#include "clients/outlook_express/outlook_express_client.h"

#include "clients/outlook_express/outlook_express_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  if (status == status::kCannotConfigure) return "ERROR: Unable to automatically configure";
  if (status == status::kAutoAccountExists) {
    return "ERROR: Identical Automatically Created Account was already found, no changes have "
           "been made.";
  }
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<OutlookExpressConfigurator>(platform, request);
}

ClientDescriptor Describe() {
  ClientDescriptor client{};
  client.default_code = 1;
  client.name = "Microsoft Outlook Express";
  client.short_name = "Outlook Express";
  client.app_paths_entry = "msimn.exe";
  client.mailto_marker = "msimn";
  client.has_default_option = true;
  client.detection_rank = 2;
  client.button = {1000, 43, 39, 98, 8, "Microsoft Outlook Express"};
  client.sites[static_cast<int>(SystemKind::Windows)] = WindowsSite("Outlook Express", "msimn.exe");
  client.sites[static_cast<int>(SystemKind::MachineFolder)] = client.site(SystemKind::Windows);
  client.status_message = StatusMessage;
  client.make_configurator = ConfiguratorOf<Make>;
  client.make_reader = ReaderOf<Make>;
  return client;
}

}  // namespace

const ClientDescriptor& OutlookExpressClient() {
  static const ClientDescriptor client = Describe();
  return client;
}

}  // namespace quillbank
