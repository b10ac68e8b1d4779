#include "session/status_message.h"

#include "core/mail_client.h"

namespace quillbank {
namespace {

constexpr const char* kUnableToConfigure = "ERROR: Unable to automatically configure";
constexpr const char* kAlreadyFound = "ERROR: Account was already found, no changes have been made.";
constexpr const char* kAutoAlreadyFound =
    "ERROR: Identical Automatically Created Account was already found, no changes have been made.";

}  // namespace

std::string StatusMessage(int client_index, ConfigStatus status) {
  if (!IsClientIndex(client_index)) return "";
  // Causes every configurator may report.
  if (status == status::kWriteFailed) {
    return "ERROR: The email client's settings could not be written. No changes have been made.";
  }
  if (status == status::kUnsafeInput) {
    return "ERROR: The email address or display name contains characters that cannot be used. "
           "No changes have been made.";
  }
  if (status == status::kAlreadyExists) return kAlreadyFound;

  switch (static_cast<MailClient>(client_index)) {
    case MailClient::OutlookExpress:
      if (status == status::kCannotConfigure) return kUnableToConfigure;
      if (status == status::kAutoAccountExists) return kAutoAlreadyFound;
      break;
    case MailClient::Outlook:
      if (status == status::kCannotConfigure || status == status::kStoreUnreadable) {
        return kUnableToConfigure;
      }
      if (status == status::kNeverStarted) {
        return "ERROR: Outlook has not been run for the first time. Please run and close Outlook "
               "and try again.";
      }
      if (status == status::kNoDefaultProfile) {
        return "ERROR: No default email profile found. Please run Outlook and select a Default "
               "Profile when prompted during startup.";
      }
      if (status == status::kAutoAccountExists) return kAutoAlreadyFound;
      break;
    case MailClient::WindowsMail:
      if (status == status::kCannotConfigure) return kUnableToConfigure;
      break;
    case MailClient::Eudora:
      if (status == status::kCannotConfigure) {
        return "ERROR: Eudora has not been run for the first time or Eudora is not set to store "
               "data in the default location.";
      }
      break;
    case MailClient::Thunderbird:
      // The profile folder could not be found or prefs.js could not be read.
      if (status == status::kCannotConfigure) return kUnableToConfigure;
      break;
  }
  return "";
}

std::string SuccessMessage(int client_index) {
  if (!IsClientIndex(client_index)) return "";
  return "Congratulations! " + ClientName(client_index) +
         " has been successfully configured for your mail settings.";
}

}  // namespace quillbank
