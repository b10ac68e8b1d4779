// The data every registry store takes from the request, and the settings
// block its value table logs.
#include <gtest/gtest.h>

#include "clients/account_store/requested_account.h"
#include "tests/support/fake_platform.h"

namespace quillbank::outlook {
namespace {

// The shared part alone, with its protected steps made reachable.
class Requested final : public RequestedAccount {
 public:
  explicit Requested(const AccountRequest& request) : RequestedAccount(request) {}
  ConfigStatus Configure() override { return status::kSuccess; }
  std::optional<std::string> GetDefAcct() override { return std::nullopt; }
  std::optional<std::string> FindAcctByAddr(const std::string&) override { return std::nullopt; }
  std::optional<std::string> GetAcctAddr(const std::optional<std::string>&) override {
    return std::nullopt;
  }
  std::optional<std::string> GetAcctName(const std::optional<std::string>&) override {
    return std::nullopt;
  }
  using RequestedAccount::LogSettings;
  using RequestedAccount::ValueText;
};

TEST(RequestedAccount, EachSourceGivesTheRequestsDataForTheSslChoice) {
  using S = ValueSource;
  struct Case {
    AccountValue value;
    bool use_ssl;
    bool automatic;
    const char* expected;
  };
  const Case cases[] = {
      {{"n", S::kAccountName}, true, false, "jane@tessaline.net"},
      {{"n", S::kAccountName}, true, true, "Tess-jane@tessaline.net"},
      {{"n", S::kAddress}, true, true, "jane@tessaline.net"},
      {{"n", S::kDisplayName}, false, false, "Jane Doe"},
      {{"n", S::kIncomingServer}, true, false, "secure.tessaline.net"},
      {{"n", S::kIncomingServer}, false, false, "pop.tessaline.net"},
      {{"n", S::kOutgoingServer}, false, false, "smtp.tessaline.net"},
      {{"n", S::kIncomingPort}, true, false, "995"},
      {{"n", S::kIncomingPort}, false, false, "110"},
      {{"n", S::kOutgoingPort}, true, false, "465"},
      {{"n", S::kOutgoingPort}, false, false, "587"},
      {{"n", S::kSecureConnection}, true, false, "1"},
      {{"n", S::kSecureConnection}, false, false, "0"},
      {{"n", S::kFixed, 60}, true, false, "60"},
      {{"n", S::kFixedText, 0, true, "{clsid}"}, true, false, "{clsid}"},
  };
  testing::CapturedLog log;
  for (const Case& c : cases) {
    const AccountRequest request{"jane@tessaline.net", "Jane Doe", false, false, c.use_ssl,
                                 log.log()};
    Requested requested(c.automatic ? testing::AutomaticRequest(request, "Tess-") : request);
    EXPECT_EQ(requested.ValueText(c.value), c.expected)
        << static_cast<int>(c.value.source) << " ssl " << c.use_ssl;
  }
}

TEST(RequestedAccount, TheSettingsBlockListsTheLoggedValuesOfItsRequest) {
  testing::CapturedLog second;
  Requested requested(AccountRequest{"jane@tessaline.net", "Jane Doe", false, false, false,
                                     second.log()});
  requested.LogSettings({{"Email", ValueSource::kAddress},
                         {"Hidden", ValueSource::kFixed, 1, /*logged=*/false},
                         {"Port", ValueSource::kIncomingPort}});
  EXPECT_EQ(second.Lines(),
            (std::vector<std::string>{
                "The following settings were written/overwritten in the system registry:", "",
                "Email: jane@tessaline.net", "Port: 110", ""}));
}

}  // namespace
}  // namespace quillbank::outlook
