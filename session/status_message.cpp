#include "session/status_message.h"

namespace quillbank {

std::string StatusMessage(const ClientDescriptor* client, ConfigStatus status) {
  if (!client) return "";
  if (status == status::kWriteFailed) {
    return "ERROR: The email client's settings could not be written. No changes have been made.";
  }
  if (status == status::kUnsafeInput) {
    return "ERROR: The email address or display name contains characters that cannot be used. "
           "No changes have been made.";
  }
  if (status == status::kAlreadyExists) {
    return "ERROR: Account was already found, no changes have been made.";
  }
  return client->status_message ? client->status_message(status) : "";
}

std::string SuccessMessage(const ClientDescriptor* client) {
  if (!client) return "";
  return std::string("Congratulations! ") + client->name +
         " has been successfully configured for your mail settings.";
}

}  // namespace quillbank
