#include "clients/eudora/eudora_client.h"

#include "clients/common/client_description.h"
#include "clients/eudora/eudora_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  if (status != status::kCannotConfigure) return "";
  return "ERROR: Eudora has not been run for the first time or Eudora is not set to store data "
         "in the default location.";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<EudoraConfigurator>(platform, request);
}

}  // namespace

// Eudora has no default account to set.
const ClientDescriptor& EudoraClient() {
  static const ClientDescriptor client = DescribeStore<Make>(
      {4, "Qualcomm Eudora", "Eudora", "Eudora.exe", "eudora", false, 1,
       {1015, 43, 65, 112, 9, "Qualcomm Eudora 5 and up"}},
      WindowsSite("Eudora", "Eudora.exe"), StatusMessage);
  return client;
}

}  // namespace quillbank
