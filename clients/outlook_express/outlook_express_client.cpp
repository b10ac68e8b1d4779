#include "clients/outlook_express/outlook_express_client.h"

#include "clients/common/client_description.h"
#include "clients/outlook_express/outlook_express_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  if (status == status::kCannotConfigure) return kUnableToConfigure;
  if (status == status::kAutoAccountExists) return kAutoAccountFound;
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<OutlookExpressConfigurator>(platform, request);
}

}  // namespace

const ClientDescriptor& OutlookExpressClient() {
  static const ClientDescriptor client = DescribeStore<Make>(
      {1, "Microsoft Outlook Express", "Outlook Express", "msimn.exe", "msimn", true, 2,
       {1000, 43, 39, 98, 8, "Microsoft Outlook Express"}},
      WindowsSite("Outlook Express", "msimn.exe"), StatusMessage);
  return client;
}

}  // namespace quillbank
