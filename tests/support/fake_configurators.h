// Configurators that return what a test tells them, and a factory that hands
// them to the run, so the run can be tested without any client's store.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/mail_clients.h"
#include "session/configurator_factory.h"
#include "env/run_log.h"

namespace quillbank::testing {

// What the fakes saw, shared with the test after the run destroyed them.
struct FakeConfiguratorRecord {
  int configure_calls = 0;
  std::vector<std::string> requests;  // "address|name|d|u|s" per request seen
  std::string prefix;
  bool auto_mode = false;
  std::function<void()> on_configure;  // called as Configure runs, when set
};

class FakeConfigurator : public AutoModeConfigurator {
 public:
  FakeConfigurator(const AccountRequest& request, FakeConfiguratorRecord& record, int status)
      : log_(&request.log), record_(record), status_(status) {
    Remember(request);
  }

  ConfigStatus Configure() override {
    ++record_.configure_calls;
    if (record_.on_configure) record_.on_configure();
    *log_ << "Fake configurator ran." << kEndLine;
    return static_cast<ConfigStatus>(status_);
  }
  std::optional<std::string> GetDefAcct() override { return default_account; }
  std::optional<std::string> FindAcctByAddr(const std::string& text) override {
    if (text != search_match) return std::nullopt;
    return found_account;
  }
  std::optional<std::string> GetAcctAddr(const std::optional<std::string>& key) override {
    if (!key) return std::nullopt;
    return address;
  }
  std::optional<std::string> GetAcctName(const std::optional<std::string>& key) override {
    if (!key) return std::nullopt;
    return name;
  }

  std::optional<std::string> default_account = "00000001";
  std::string search_match;
  std::string found_account = "00000002";
  std::optional<std::string> address = "copied@example.com";
  std::optional<std::string> name = "Copied Name";

 private:
  void Remember(const AccountRequest& r) {
    record_.auto_mode = r.automatic;
    record_.prefix = r.prefix;
    record_.requests.push_back(r.address + "|" + r.display_name + "|" + (r.make_default ? "1" : "0") +
                               "|" + (r.overwrite_existing ? "1" : "0") + "|" + (r.use_ssl ? "1" : "0"));
  }
  RunLog* log_;
  FakeConfiguratorRecord& record_;
  int status_;
};

class FakeFactory : public ConfiguratorFactory {
 public:
  std::unique_ptr<Configurator> Create(int client_index, int outlook_version,
                                       const AccountRequest& request) override {
    created_client = client_index;
    created_outlook_version = outlook_version;
    if (client_index < 0 || client_index > 4 || !has_configurator) return nullptr;
    return std::make_unique<FakeConfigurator>(request, record, status);
  }
  std::unique_ptr<AccountReader> CreateReader(int client_index, int outlook_version,
                                              RunLog& log) override {
    const auto client = static_cast<MailClient>(client_index);
    created_client = client_index;
    created_outlook_version = outlook_version;
    if (std::find(reading_clients.begin(), reading_clients.end(), client) ==
        reading_clients.end()) {
      return nullptr;
    }
    auto fake = std::make_unique<FakeConfigurator>(AccountRequest{"", "", false, false, true, log},
                                                   reader_record, status);
    fake->default_account = default_account;
    fake->search_match = search_match;
    fake->address = address;
    fake->name = name;
    return fake;
  }

  FakeConfiguratorRecord record;
  FakeConfiguratorRecord reader_record;  // what the readers saw
  int status = 0;
  bool has_configurator = true;
  int created_client = -99;
  int created_outlook_version = -99;
  // Scripted readers for the automatic mode, and the clients that have them.
  std::vector<MailClient> reading_clients{MailClient::OutlookExpress, MailClient::Outlook};
  std::optional<std::string> default_account = "00000001";
  std::string search_match;
  std::optional<std::string> address = "copied@example.com";
  std::optional<std::string> name = "Copied Name";
};

}  // namespace quillbank::testing
