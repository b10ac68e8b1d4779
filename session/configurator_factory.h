// Where the run gets its configurators. The run asks for the selected
// client's configurator (normal mode) or for one that can also read the
// default client's accounts (automatic mode); tests hand the run a factory
// of fakes instead.
#pragma once

#include <memory>

#include "core/account_request.h"
#include "core/configurator.h"
#include "core/mail_client.h"

namespace quillbank {

class ConfiguratorFactory {
 public:
  virtual ~ConfiguratorFactory() = default;
  // The configurator of client index 0..4; for Outlook `outlook_version`
  // chooses between the Outlook 2000 store (below 10) and the profile store.
  // Null for an index outside 0..4.
  [[nodiscard]] virtual std::unique_ptr<Configurator> Create(int client_index, int outlook_version,
                                                             const AccountRequest& request) = 0;
  // The configurator of `client` with the readers the automatic mode copies
  // the default account with; null for a client without readers.
  [[nodiscard]] virtual std::unique_ptr<AutoModeConfigurator> CreateAutoMode(
      MailClient client, int outlook_version, const AccountRequest& request) = 0;
};

}  // namespace quillbank
