// The one place that knows which configurator serves which client. The run
// asks it for the selected client's configurator (normal mode) or for the
// default client's registry configurator (automatic mode); tests hand the run
// a factory of fakes instead.
#pragma once

#include <memory>

#include "app/account_request.h"
#include "app/configurator.h"
#include "env/platform/platform.h"

namespace quillbank {

class ConfiguratorFactory {
 public:
  virtual ~ConfiguratorFactory() = default;
  // The configurator of client index 0..4; for Outlook (1) `outlook_version`
  // chooses between the Outlook 2000 store (below 10) and the profile store.
  // Null for a client without a configurator.
  [[nodiscard]] virtual std::unique_ptr<Configurator> Create(int client_index, int outlook_version,
                                                             const AccountRequest& request) = 0;
  // The registry configurator that can read the default account of default
  // client code 1 (Outlook Express) or 2 (Outlook); null for other codes.
  [[nodiscard]] virtual std::unique_ptr<AutoModeConfigurator> CreateAutoMode(
      int default_client_code, int outlook_version, const AccountRequest& request) = 0;
};

// The factory of the real configurators, working on `platform`.
[[nodiscard]] std::unique_ptr<ConfiguratorFactory> MakeClientConfiguratorFactory(Platform& platform);

}  // namespace quillbank
