// The shape every client configurator has, and the extra operations of the
// registry-store configurators that the automatic mode uses to copy an
// existing account.
#pragma once

#include <string>

#include "app/account_request.h"
#include "app/config_status.h"

namespace quillbank {

class Configurator {
 public:
  virtual ~Configurator() = default;
  // Searches for an account with the request's address, then skips, resets or
  // creates it. Called at most once per object.
  [[nodiscard]] virtual ConfigStatus Configure() = 0;
};

// The text a reader returns when it cannot open the key it needs.
inline constexpr const char* kReaderError = "*ERROR*";

class AutoModeConfigurator : public Configurator {
 public:
  virtual void SetAutoMode() = 0;
  virtual void SetAccountPrefix(const std::string& prefix) = 0;
  // Replaces address, display name, the three flags and the log; keeps the
  // automatic-mode flag and the prefix.
  virtual void SetRequest(const AccountRequest& request) = 0;

  // Readers: each returns kReaderError when its key cannot be opened.
  [[nodiscard]] virtual std::string GetDefAcct() = 0;
  [[nodiscard]] virtual std::string FindAcctByAddr(const std::string& text) = 0;
  [[nodiscard]] virtual std::string GetAcctAddr(const std::string& key_name) = 0;
  [[nodiscard]] virtual std::string GetAcctName(const std::string& key_name) = 0;
};

}  // namespace quillbank
