// Outlook 2013 and later keep their accounts in a profile store of their own
// (below their versioned Office key), which this program neither reads nor
// writes. Their configurator changes nothing: it logs the account's settings
// for the user to enter in Outlook and ends with status 8, in the automatic
// mode before any account is read.
#pragma once

#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/requested_configurator.h"

namespace quillbank {

class OutlookOwnStoreConfigurator final : public RequestedConfigurator {
 public:
  // `version`: Outlook's major version, as detection logged it.
  OutlookOwnStoreConfigurator(const AccountRequest& request, int version);

  // Logs the settings with the request's address as the user name; 8.
  [[nodiscard]] ConfigStatus Configure() override;
  // Logs the settings with a placeholder for the user name; 8.
  [[nodiscard]] std::optional<ConfigStatus> RefusesToRead() override;

  // Never asked: the run ends at RefusesToRead. Each answers no value.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override { return std::nullopt; }
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string&) override {
    return std::nullopt;
  }
  [[nodiscard]] std::optional<std::string> GetAcctAddr(const std::optional<std::string>&) override {
    return std::nullopt;
  }
  [[nodiscard]] std::optional<std::string> GetAcctName(const std::optional<std::string>&) override {
    return std::nullopt;
  }

 private:
  ConfigStatus LogSettings(const std::string& user_name);

  const int version_;
};

}  // namespace quillbank
