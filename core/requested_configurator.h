// What every reading configurator keeps of its request: the automatic mode
// hands a second request (the account read) to the same object, after the
// prefix, so the fields are set again rather than fixed at construction.
#pragma once

#include <string>

#include "core/account_request.h"
#include "core/configurator.h"

namespace quillbank {

class RequestedConfigurator : public AutoModeConfigurator {
 public:
  void SetAutoMode() override { automatic_ = true; }
  void SetAccountPrefix(const std::string& prefix) override { prefix_ = prefix; }
  void SetRequest(const AccountRequest& request) override {
    log_ = &request.log;
    address_ = request.address;
    display_name_ = request.display_name;
    make_default_ = request.make_default;
    overwrite_existing_ = request.overwrite_existing;
    use_ssl_ = request.use_ssl;
  }

 protected:
  explicit RequestedConfigurator(const AccountRequest& request) { SetRequest(request); }

  // Prefix + address in the automatic mode, the address otherwise.
  [[nodiscard]] std::string AccountName() const {
    return automatic_ ? prefix_ + address_ : address_;
  }

  RunLog* log_ = nullptr;
  std::string address_;
  std::string display_name_;
  bool make_default_ = false;
  bool overwrite_existing_ = false;
  bool use_ssl_ = true;
  bool automatic_ = false;
  std::string prefix_;
};

}  // namespace quillbank
