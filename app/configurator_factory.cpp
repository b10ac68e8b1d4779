#include "app/configurator_factory.h"

#include "app/mail_client.h"
#include "clients/files/eudora_configurator.h"
#include "clients/files/thunderbird_configurator.h"
#include "clients/outlook/outlook2000_configurator.h"
#include "clients/outlook/outlook_express_configurator.h"
#include "clients/outlook/outlook_profile_configurator.h"
#include "clients/winmail/windows_mail_configurator.h"

namespace quillbank {
namespace {

// Each client's configurator is added here as it lands; a client without one
// yields no configurator, which the run reports as status 1.
class ClientConfiguratorFactory final : public ConfiguratorFactory {
 public:
  explicit ClientConfiguratorFactory(Platform& platform) : platform_(platform) {}

  std::unique_ptr<Configurator> Create(int client_index, int outlook_version,
                                       const AccountRequest& request) override {
    (void)outlook_version;
    (void)request;
    switch (client_index) {
      case 0:
        return std::make_unique<OutlookExpressConfigurator>(platform_, request);
      case 1:
        if (outlook_version < kFirstProfileStoreOutlookVersion) {
          return std::make_unique<Outlook2000Configurator>(platform_, request);
        }
        return std::make_unique<OutlookProfileConfigurator>(platform_, request);
      case 2:
        return std::make_unique<WindowsMailConfigurator>(platform_, request);
      case 3:  // Eudora has no default account: make default is not passed
        return std::make_unique<EudoraConfigurator>(platform_, request.address,
                                                    request.display_name,
                                                    request.overwrite_existing, request.use_ssl,
                                                    request.log);
      case 4:
        return std::make_unique<ThunderbirdConfigurator>(platform_, request);
      default:
        return nullptr;
    }
  }

  std::unique_ptr<AutoModeConfigurator> CreateAutoMode(int default_client_code, int outlook_version,
                                                       const AccountRequest& request) override {
    (void)outlook_version;
    (void)request;
    switch (default_client_code) {
      case 1:
        return std::make_unique<OutlookExpressConfigurator>(platform_, request);
      case 2:
        if (outlook_version < kFirstProfileStoreOutlookVersion) {
          return std::make_unique<Outlook2000Configurator>(platform_, request);
        }
        return std::make_unique<OutlookProfileConfigurator>(platform_, request);
      default:
        return nullptr;
    }
  }

 private:
  Platform& platform_;
};

}  // namespace

std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(Platform& platform) {
  return std::make_unique<ClientConfiguratorFactory>(platform);
}

}  // namespace quillbank
