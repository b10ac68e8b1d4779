#include "app/client_configurators.h"

#include <iostream>

#include "clients/eudora/eudora_configurator.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "clients/outlook/outlook2000_configurator.h"
#include "clients/outlook_express/outlook_express_configurator.h"
#include "clients/outlook/outlook_profile_configurator.h"
#include "clients/windows_mail/windows_mail_configurator.h"

namespace quillbank {
namespace {

// Every configurator can also read its client's accounts, for the automatic
// mode.
using MakeConfigurator = std::unique_ptr<AutoModeConfigurator> (*)(
    Platform&, const AccountRequest&, int outlook_version);

template <typename Client>
std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request, int) {
  return std::make_unique<Client>(platform, request);
}

// Outlook keeps its accounts in one of two stores, chosen by its version.
std::unique_ptr<AutoModeConfigurator> MakeOutlook(Platform& platform, const AccountRequest& request,
                                                  int outlook_version) {
  if (outlook_version < kFirstProfileStoreOutlookVersion) {
    return std::make_unique<Outlook2000Configurator>(platform, request, std::cout);
  }
  return std::make_unique<OutlookProfileConfigurator>(platform, request);
}

std::unique_ptr<AutoModeConfigurator> MakeEudora(Platform& platform, const AccountRequest& request,
                                                 int) {
  // Eudora has no default account: make default is not passed.
  return std::make_unique<EudoraConfigurator>(platform, request.address, request.display_name,
                                              request.overwrite_existing, request.use_ssl,
                                              request.log);
}

struct ClientMaker {
  MailClient client;
  MakeConfigurator make;
};

// One row per row of the client table, in the same order.
constexpr ClientMaker kMakers[] = {
    {MailClient::OutlookExpress, Make<OutlookExpressConfigurator>},
    {MailClient::Outlook, MakeOutlook},
    {MailClient::WindowsMail, Make<WindowsMailConfigurator>},
    {MailClient::Eudora, MakeEudora},
    {MailClient::Thunderbird, Make<ThunderbirdConfigurator>},
};
static_assert(std::size(kMakers) == kClientTable.size(), "every client needs its maker");

class ClientConfiguratorFactory final : public ConfiguratorFactory {
 public:
  explicit ClientConfiguratorFactory(Platform& platform) : platform_(platform) {}

  std::unique_ptr<Configurator> Create(int client_index, int outlook_version,
                                       const AccountRequest& request) override {
    if (!IsClientIndex(client_index)) return nullptr;
    return kMakers[client_index].make(platform_, request, outlook_version);
  }

  std::unique_ptr<AutoModeConfigurator> CreateAutoMode(MailClient client, int outlook_version,
                                                       const AccountRequest& request) override {
    return kMakers[static_cast<int>(client)].make(platform_, request, outlook_version);
  }

 private:
  Platform& platform_;
};

}  // namespace

std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(Platform& platform) {
  return std::make_unique<ClientConfiguratorFactory>(platform);
}

}  // namespace quillbank
