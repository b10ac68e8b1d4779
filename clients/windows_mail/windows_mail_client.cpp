#include "clients/windows_mail/windows_mail_client.h"

#include "clients/windows_mail/windows_mail_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  if (status == status::kCannotConfigure) return "ERROR: Unable to automatically configure";
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<WindowsMailConfigurator>(platform, request);
}

ClientDescriptor Describe() {
  ClientDescriptor client{};
  client.default_code = 3;
  client.name = "Microsoft Windows Mail";
  client.short_name = "Windows Mail";
  client.app_paths_entry = "WinMail.exe";
  client.mailto_marker = "winmail";
  client.has_default_option = true;
  client.detection_rank = 3;
  client.button = {1026, 43, 56, 91, 10, "Microsoft Windows Mail"};
  client.sites[static_cast<int>(SystemKind::Windows)] = WindowsSite("Windows Mail", "WinMail.exe");
  client.sites[static_cast<int>(SystemKind::MachineFolder)] = client.site(SystemKind::Windows);
  client.status_message = StatusMessage;
  client.make_configurator = ConfiguratorOf<Make>;
  client.make_reader = ReaderOf<Make>;
  return client;
}

}  // namespace

const ClientDescriptor& WindowsMailClient() {
  static const ClientDescriptor client = Describe();
  return client;
}

}  // namespace quillbank
