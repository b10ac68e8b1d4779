#include "clients/windows_mail/windows_mail_client.h"

#include "clients/common/client_description.h"
#include "clients/windows_mail/windows_mail_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  return status == status::kCannotConfigure ? kUnableToConfigure : "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<WindowsMailConfigurator>(platform, request);
}

}  // namespace

const ClientDescriptor& WindowsMailClient() {
  static const ClientDescriptor client = DescribeStore<Make>(
      {3, "Microsoft Windows Mail", "Windows Mail", "WinMail.exe", "winmail", true, 3,
       {1026, 43, 56, 91, 10, "Microsoft Windows Mail"}},
      WindowsSite("Windows Mail", "WinMail.exe"), StatusMessage);
  return client;
}

}  // namespace quillbank
