// Outlook 2000 keeps its accounts in the "OMI Account Manager" store of the
// current user, shaped like the Outlook Express store. In Corporate/Workgroup
// mode it also needs the account as an Internet mail service ("IMAIL") of the
// default MAPI profile, which this configurator adds after writing the store
// and then names in the profile's registry section.
#pragma once

#include <string>
#include <vector>

#include "clients/account_store/account_store.h"
#include "core/text_sink.h"
#include "env/platform/mapi.h"

namespace quillbank {

namespace outlook {
inline constexpr const char* kOmiStorePath = "Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\";
inline constexpr const char* kOmiAccountsPath =
    "Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\Accounts\\";
inline constexpr const char* kOutlookSetupKey = "Software\\Microsoft\\Office\\9.0\\Outlook\\Setup";
inline constexpr const char* kExchangeOptionsKey = "Software\\Microsoft\\Exchange\\Client\\Options";
// "MailSupport" starting with this byte: Corporate/Workgroup mode.
inline constexpr int kCorporateMailSupport = 1;
// Where the Outlook 2000 store lives, which values it takes and how its log
// lines read.
[[nodiscard]] const AccountStoreLayout& OmiLayout();
}  // namespace outlook

class Outlook2000Configurator final : public outlook::AccountStoreConfigurator {
 public:
  // MAPI's failure lines go to `out`, which the program points at its
  // standard output.
  Outlook2000Configurator(Platform& platform, const AccountRequest& request, TextSink out);

  // 0 written (whatever the MAPI step did); 1 the accounts key cannot be
  // created; 2 Corporate/Workgroup mode without a profiles key; 4
  // Corporate/Workgroup mode with Outlook asking for a profile at start; 5 and
  // 6 an existing account and overwrite off; 7 a write failed (every value
  // put back); 30 the account name cannot be a registry key. Only 0 writes.
  [[nodiscard]] ConfigStatus Configure() override;

  // The first byte of "MailSupport" as a signed number; 0 when the key or
  // value is missing (Internet Mail Only mode).
  [[nodiscard]] int ReadMailSupport();

  // Adds an Internet mail service named by the address to the default profile
  // through MAPI, then names the profile sections that appeared with it.
  // False after a failed step, whose line went to the output.
  bool CreateInternetMailService();

  // The default MAPI profile's name, read by Configure in Corporate/Workgroup
  // mode; empty otherwise.
  [[nodiscard]] const std::string& profile_name() const { return profile_name_; }

 private:
  // The sections of the profile key, in enumeration order.
  [[nodiscard]] std::vector<std::string> ProfileSections(const std::string& profile_path);
  bool FailMapiStep(const char* text, MapiResult result);
  // Names the sections that are not in `known` after the account; false,
  // with every value put back and a line on the output, when a
  // value cannot be written.
  bool NameNewSections(const std::string& profile_path, const std::vector<std::string>& known);

  TextSink out_;
  std::string profile_name_;
};

}  // namespace quillbank
