// The request fields every store needs, fixed when the configurator is made.
#pragma once

#include <string>

#include "core/account_request.h"
#include "core/configurator.h"

namespace quillbank {

class RequestedConfigurator : public AutoModeConfigurator {
 protected:
  explicit RequestedConfigurator(const AccountRequest& request)
      : log_(&request.log),
        address_(request.address),
        display_name_(request.display_name),
        make_default_(request.make_default),
        overwrite_existing_(request.overwrite_existing),
        use_ssl_(request.use_ssl),
        automatic_(request.automatic),
        prefix_(request.prefix) {}

  // Prefix + address in the automatic mode, the address otherwise.
  [[nodiscard]] std::string AccountName() const {
    return automatic_ ? prefix_ + address_ : address_;
  }

  RunLog* const log_;
  const std::string address_;
  const std::string display_name_;
  const bool make_default_;
  const bool overwrite_existing_;
  const bool use_ssl_;
  const bool automatic_;
  const std::string prefix_;
};

}  // namespace quillbank
