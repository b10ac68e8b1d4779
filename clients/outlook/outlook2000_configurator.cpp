#include "clients/outlook/outlook2000_configurator.h"

#include <algorithm>
#include <cstdio>

#include "clients/account_store/store_conventions.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank {
namespace outlook {
namespace {

constexpr std::size_t kMailSupportCapacity = 300;
constexpr const char* kServiceEntryValue = "001e3d0b";
constexpr const char* kServiceEntry = "MailServiceEntry";
constexpr const char* kDisplayNameValue = "001e3001";
constexpr const char* kAccountValue = "001e661f";
constexpr const char* kDisplayNameStart = "Internet E-Mail - ";

}  // namespace

const AccountStoreLayout& OmiLayout() {
  using S = ValueSource;
  static const AccountStoreLayout layout{
      kOmiStorePath,
      kOmiAccountsPath,
      AccountsKey::kCreateWhenMissing,
      DefaultRule::kOnlyWhenAsked,
      {
          {"Account Name", S::kAccountName},
          {"Connection Flags", S::kFixed, 0, /*logged=*/false},
          {"Connection Type", S::kFixed, 3},
          {"Leave Mail On Server", S::kFixed, 0},
          {"POP3 Port", S::kIncomingPort},
          {"POP3 Prompt for Password", S::kFixed, 1},
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
      "Starting Outlook configuration...",
      kAccountSearchTexts,
      /*search_line_ends=*/false,
      /*log_each_account=*/false,
      /*log_target_key=*/false,
      /*readers_log_open_results=*/false,
  };
  return layout;
}

}  // namespace outlook

using namespace outlook;

Outlook2000Configurator::Outlook2000Configurator(Platform& platform, const AccountRequest& request,
                                                 TextSink out)
    : AccountStoreConfigurator(platform, request, OmiLayout()), out_(out) {}

int Outlook2000Configurator::ReadMailSupport() {
  std::unique_ptr<RegistryKey> key;
  if (platform_.registry.Open(kStoreRoot, kOutlookSetupKey, RegAccess::Read, key) !=
      win32_error::kSuccess) {
    return 0;
  }
  RegValue value;
  if (key->QueryValue("MailSupport", kMailSupportCapacity, value) != win32_error::kSuccess ||
      value.data.empty()) {
    return 0;
  }
  return static_cast<signed char>(value.data[0]);
}

ConfigStatus Outlook2000Configurator::Configure() {
  if (RefuseUnsafeAccount()) return status::kUnsafeInput;
  Registry& registry = platform_.registry;
  if (ReadMailSupport() == kCorporateMailSupport) {
    std::unique_ptr<RegistryKey> options;
    if (registry.Open(kStoreRoot, kExchangeOptionsKey, RegAccess::All, options) ==
        win32_error::kSuccess) {
      const std::string pick = ReadStoreText(*options, "PickLogonProfile").value_or("");
      if (!pick.empty() && pick[0] == '1') return status::kNoDefaultProfile;
    }
    std::unique_ptr<RegistryKey> profiles;
    if (registry.Open(kStoreRoot, kMapiProfilesKey, RegAccess::All, profiles) !=
        win32_error::kSuccess) {
      return status::kStoreUnreadable;
    }
    profile_name_ = ReadStoreText(*profiles, "DefaultProfile").value_or("");
  }
  *log_ << "Default Mail Profile is : " << profile_name_ << kEndLine;

  const ConfigStatus written = WriteAccount();
  if (written != status::kSuccess) return written;

  if (ReadMailSupport() == kCorporateMailSupport) {
    CreateInternetMailService();
    log_->Line("Outlook is in Corporate/Workgroup Mode. Creating MAPI Internet Mail Profile...");
  }
  return status::kSuccess;
}

// ----------------------------------------------------------------- MAPI step

std::vector<std::string> Outlook2000Configurator::ProfileSections(const std::string& profile_path) {
  std::vector<std::string> names;
  std::unique_ptr<RegistryKey> profile;
  std::uint32_t count = 0;
  if (platform_.registry.Open(kStoreRoot, profile_path, RegAccess::All, profile) !=
          win32_error::kSuccess ||
      profile->QuerySubkeyCount(count) != win32_error::kSuccess) {
    return names;
  }
  // Every section is remembered, however many the profile has: a section
  // left out would count as new and could have an existing service renamed.
  for (std::uint32_t index = 0; index < count; ++index) {
    std::string name;
    if (profile->EnumKey(index, kNameCapacity, name) == win32_error::kSuccess) names.push_back(name);
  }
  return names;
}

bool Outlook2000Configurator::FailMapiStep(const char* text, MapiResult result) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(static_cast<std::uint32_t>(result)));
  out_ << text << hex << "\n";
  out_.Flush();
  return false;
}

bool Outlook2000Configurator::CreateInternetMailService() {
  // The profile's key is opened, never created: a missing profile is MAPI's
  // to report, and a wrong name must not leave an empty profile behind.
  if (!IsSingleKeyName(profile_name_)) {
    out_ << "Error: no usable default profile name." << "\n";
    out_.Flush();
    return false;
  }
  const std::string profile_path = std::string(kMapiProfilesKey) + "\\" + profile_name_;
  const std::vector<std::string> known = ProfileSections(profile_path);

  MapiAdmin* mapi = platform_.mapi;
  if (!mapi) return FailMapiStep("Error initializing MAPI. hRes = 0x", mapi_result::kUnavailable);
  MapiResult result = mapi->Initialize();
  if (MapiFailed(result)) return FailMapiStep("Error initializing MAPI. hRes = 0x", result);
  bool created = false;
  {
    // On every path: the service admin and the profile admin are released,
    // the session is logged off and released, and only then is MAPI
    // uninitialised.
    std::unique_ptr<MapiProfileAdmin> profile_admin;
    std::unique_ptr<MapiSession> session;
    std::unique_ptr<MapiServiceAdmin> service_admin;
    if (MapiFailed(result = mapi->AdminProfiles(profile_admin))) {
      FailMapiStep("Error getting IProfAdmin interface. hRes = 0x", result);
    } else if (MapiFailed(result = mapi->LogonEx(profile_name_, session))) {
      FailMapiStep("Error logging on. hRes = 0x", result);
    } else if (MapiFailed(result = profile_admin->AdminServices(profile_name_, service_admin))) {
      FailMapiStep("Error getting IMsgServiceAdmin interface. hRes = 0x", result);
    } else if (MapiFailed(result = service_admin->CreateMsgService("IMAIL", address_))) {
      FailMapiStep("Error creating Exchange message service. hRes = 0x", result);
    } else {
      created = true;
    }
    service_admin.reset();
    profile_admin.reset();
    session.reset();
  }
  mapi->Uninitialize();
  if (!created) return false;

  return NameNewSections(profile_path, known);
}

bool Outlook2000Configurator::NameNewSections(const std::string& profile_path,
                                              const std::vector<std::string>& known) {
  // A section is named completely or not at all: the service MAPI made stays
  // usable under its own name when naming fails part-way.
  const std::string account_name = AccountName();
  ValueJournal journal(platform_.registry);
  for (const std::string& section : ProfileSections(profile_path)) {
    if (std::find(known.begin(), known.end(), section) != known.end()) continue;
    const std::string section_path = profile_path + "\\" + section;
    std::unique_ptr<RegistryKey> key;
    if (platform_.registry.Open(kStoreRoot, section_path, RegAccess::All, key) !=
        win32_error::kSuccess) {
      continue;
    }
    if (ReadStoreText(*key, kServiceEntryValue) != std::optional<std::string>(kServiceEntry)) continue;
    long result = journal.SetText(*key, section_path, kDisplayNameValue, kDisplayNameStart + account_name);
    if (result == win32_error::kSuccess) {
      result = journal.SetText(*key, section_path, kAccountValue, account_name);
    }
    if (result != win32_error::kSuccess) {
      journal.Undo();
      out_ << "Error naming the Internet mail service. Error = " << result << "\n";
      out_.Flush();
      return false;
    }
  }
  return true;
}

}  // namespace quillbank
