// The shape every client configurator has, and the read-only reader of a
// client's accounts that the automatic mode copies an existing account with.
#pragma once

#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/config_status.h"

namespace quillbank {

class Configurator {
 public:
  virtual ~Configurator() = default;
  // Searches for an account with the request's address (in the automatic
  // mode, the copy's name), then skips, resets or creates it. Called at most
  // once per object.
  [[nodiscard]] virtual ConfigStatus Configure() = 0;
  // The account's name in its store once Configure has made, reset or found
  // it: a registry key's name, an account file's path, a persona's or an
  // incoming server's name. None before, and when there was no account.
  [[nodiscard]] const std::optional<std::string>& stored_as() const { return stored_as_; }

 protected:
  std::optional<std::string> stored_as_;
};

// How the log shows, and the run compares, a value a reader could not read.
inline constexpr const char* kReaderError = "*ERROR*";

class AccountReader {
 public:
  virtual ~AccountReader() = default;
  // Each returns no value when it cannot read what it needs. The account
  // readers are asked even when no account was found (no key name), so that
  // their own log lines appear in every run.
  [[nodiscard]] virtual std::optional<std::string> GetDefAcct() = 0;
  [[nodiscard]] virtual std::optional<std::string> FindAcctByAddr(const std::string& text) = 0;
  [[nodiscard]] virtual std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) = 0;
  [[nodiscard]] virtual std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) = 0;
  // The status that ends the automatic run before anything is read, for a
  // client whose accounts the program neither reads nor writes (the reader
  // logs why, and the settings to enter by hand); none for a reader that reads.
  [[nodiscard]] virtual std::optional<ConfigStatus> RefusesToRead() { return std::nullopt; }
};

// A store whose configurator also reads its accounts. The automatic mode
// makes one only to read (from a request without an address), and a second
// one, from the complete request, to write.
class AutoModeConfigurator : public Configurator, public AccountReader {};

}  // namespace quillbank
