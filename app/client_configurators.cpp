#include "app/client_configurators.h"

#include "clients/eudora/eudora_client.h"
#include "clients/evolution/evolution_client.h"
#include "clients/outlook/outlook_client.h"
#include "clients/outlook_express/outlook_express_client.h"
#include "clients/thunderbird/thunderbird_client.h"
#include "clients/windows_mail/windows_mail_client.h"

namespace quillbank {
namespace {

class ClientConfiguratorFactory final : public ConfiguratorFactory {
 public:
  ClientConfiguratorFactory(Platform& platform, const ClientList& clients)
      : platform_(platform), clients_(clients) {}

  std::unique_ptr<Configurator> Create(int client_index, int version,
                                       const AccountRequest& request) override {
    const ClientDescriptor* client = clients_.At(client_index);
    if (!client || !client->make_configurator) return nullptr;
    return client->make_configurator(platform_, request,
                                     ClientOnSystem{clients_.SiteOf(client_index), version});
  }

  std::unique_ptr<AccountReader> CreateReader(int client_index, int version,
                                              RunLog& log) override {
    const ClientDescriptor* client = clients_.At(client_index);
    if (!client || !client->make_reader) return nullptr;
    return client->make_reader(platform_, log,
                               ClientOnSystem{clients_.SiteOf(client_index), version});
  }

 private:
  Platform& platform_;
  const ClientList& clients_;
};

}  // namespace

const std::vector<const ClientDescriptor*>& AllClients() {
  static const std::vector<const ClientDescriptor*> clients = {
      &OutlookExpressClient(), &OutlookClient(), &WindowsMailClient(), &EudoraClient(),
      &ThunderbirdClient(), &EvolutionClient(),
  };
  return clients;
}

std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(Platform& platform,
                                                                   const ClientList& clients) {
  return std::make_unique<ClientConfiguratorFactory>(platform, clients);
}

}  // namespace quillbank
