// Where the run gets its configurators. The run asks for the selected
// client's configurator (normal mode) or for one that can also read the
// default client's accounts (automatic mode); tests hand the run a factory
// of fakes instead.
#pragma once

#include <memory>

#include "core/account_request.h"
#include "core/configurator.h"

namespace quillbank {

class ConfiguratorFactory {
 public:
  virtual ~ConfiguratorFactory() = default;
  // The configurator of client index `client_index`; `version` is the major
  // version detection read for the client (-1 where none was), which may
  // choose its store. Null for an index that names no client.
  [[nodiscard]] virtual std::unique_ptr<Configurator> Create(int client_index, int version,
                                                             const AccountRequest& request) = 0;
  // The reader the automatic mode copies the default account with; null for
  // a client without one.
  [[nodiscard]] virtual std::unique_ptr<AccountReader> CreateReader(int client_index, int version,
                                                                    RunLog& log) = 0;
};

}  // namespace quillbank
