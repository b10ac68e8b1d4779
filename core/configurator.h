// The shape every client configurator has, and the extra operations of the
// registry-store configurators that the automatic mode uses to copy an
// existing account.
#pragma once

#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/config_status.h"

namespace quillbank {

class Configurator {
 public:
  virtual ~Configurator() = default;
  // Searches for an account with the request's address, then skips, resets or
  // creates it. Called at most once per object.
  [[nodiscard]] virtual ConfigStatus Configure() = 0;
};

// How the log shows, and the run compares, a value a reader could not read.
inline constexpr const char* kReaderError = "*ERROR*";

class AutoModeConfigurator : public Configurator {
 public:
  virtual void SetAutoMode() = 0;
  virtual void SetAccountPrefix(const std::string& prefix) = 0;
  // Replaces address, display name, the three flags and the log; keeps the
  // automatic-mode flag and the prefix.
  virtual void SetRequest(const AccountRequest& request) = 0;

  // Readers: each returns no value when it cannot read what it needs. The
  // account readers are asked even when no account was found (no key name),
  // so that their own log lines appear in every run.
  [[nodiscard]] virtual std::optional<std::string> GetDefAcct() = 0;
  [[nodiscard]] virtual std::optional<std::string> FindAcctByAddr(const std::string& text) = 0;
  [[nodiscard]] virtual std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) = 0;
  [[nodiscard]] virtual std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) = 0;
};

}  // namespace quillbank
