#include "clients/outlook_express/outlook_express_configurator.h"

namespace quillbank {
namespace outlook {

const AccountStoreLayout& ExpressLayout() {
  using S = ValueSource;
  static const AccountStoreLayout layout{
      kExpressStorePath,
      kExpressAccountsPath,
      AccountsKey::kMustExist,
      DefaultRule::kWhenAskedOrStoreWasEmpty,
      {
          {"Account Name", S::kAccountName},
          {"Connection Type", S::kFixed, 3},
          {"Leave Mail On Server", S::kFixed, 0},
          {"POP3 Port", S::kIncomingPort},
          {"POP3 Prompt for Password", S::kFixed, 0},
          {"POP3 Secure Connection", S::kSecureConnection},
          {"POP3 Server", S::kIncomingServer},
          {"POP3 Skip Account", S::kFixed, 0},
          {"POP3 Timeout", S::kFixed, 60},
          {"POP3 User Name", S::kAddress},
          {"SMTP Display Name", S::kDisplayName},
          {"SMTP Email Address", S::kAddress},
          {"SMTP Port", S::kOutgoingPort},
          {"SMTP Prompt for Password", S::kFixed, 1},
          {"SMTP Secure Connection", S::kSecureConnection},
          {"SMTP Server", S::kOutgoingServer},
          {"SMTP Split Messages", S::kFixed, 0},
          {"SMTP Timeout", S::kFixed, 60},
          {"SMTP Use Sicily", S::kFixed, 2},
          {"SMTP User Name", S::kAddress},
      },
      "Starting Outlook Express configuration...",
      {
          "Searching for existing ",
          " account ... ",
          "...found. No changes will be made.",
          "...found. Quitting.",
          "...found. Resetting settings to defaults.",
          "...not found. Creating new account.",
      },
      /*search_line_ends=*/true,
      /*log_each_account=*/true,
      /*log_target_key=*/true,
      /*readers_log_open_results=*/true,
  };
  return layout;
}

}  // namespace outlook

OutlookExpressConfigurator::OutlookExpressConfigurator(Platform& platform,
                                                       const AccountRequest& request)
    : AccountStoreConfigurator(platform, request, outlook::ExpressLayout()) {}

ConfigStatus OutlookExpressConfigurator::Configure() {
  if (RefuseUnsafeAccount()) return status::kUnsafeInput;
  return WriteAccount();
}

}  // namespace quillbank
