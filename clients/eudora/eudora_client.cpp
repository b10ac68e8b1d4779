#include "clients/eudora/eudora_client.h"

#include "clients/eudora/eudora_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  if (status == status::kCannotConfigure) {
    return "ERROR: Eudora has not been run for the first time or Eudora is not set to store "
           "data in the default location.";
  }
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<EudoraConfigurator>(platform, request);
}

ClientDescriptor Describe() {
  ClientDescriptor client{};
  client.default_code = 4;
  client.name = "Qualcomm Eudora";
  client.short_name = "Eudora";
  client.app_paths_entry = "Eudora.exe";
  client.mailto_marker = "eudora";
  client.has_default_option = false;  // Eudora has no default account to set
  client.detection_rank = 1;
  client.button = {1015, 43, 65, 112, 9, "Qualcomm Eudora 5 and up"};
  client.sites[static_cast<int>(SystemKind::Windows)] = WindowsSite("Eudora", "Eudora.exe");
  client.sites[static_cast<int>(SystemKind::MachineFolder)] = client.site(SystemKind::Windows);
  client.status_message = StatusMessage;
  client.make_configurator = ConfiguratorOf<Make>;
  client.make_reader = ReaderOf<Make>;
  return client;
}

}  // namespace

const ClientDescriptor& EudoraClient() {
  static const ClientDescriptor client = Describe();
  return client;
}

}  // namespace quillbank
