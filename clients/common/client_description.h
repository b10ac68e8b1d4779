// What the client folders' descriptors have in common: the fields that name
// a client, the texts several clients' messages share, and a store client
// whose one configurator class also reads its accounts.
#pragma once

#include <memory>
#include <string>

#include "core/client_descriptor.h"

namespace quillbank {

inline constexpr const char* kUnableToConfigure = "ERROR: Unable to automatically configure";
inline constexpr const char* kAutoAccountFound =
    "ERROR: Identical Automatically Created Account was already found, no changes have been made.";

// The fields that name a client and place it in the list's views.
struct ClientIdentity {
  int default_code;
  const char* name;
  const char* short_name;
  const char* app_paths_entry;
  const char* mailto_marker;
  bool has_default_option;
  int detection_rank;
  RadioButtonPlace button;
};

using MakeStore = std::unique_ptr<AutoModeConfigurator> (*)(Platform&, const AccountRequest&,
                                                             const ClientOnSystem&);

// The makers of a store whose configurator class also reads its accounts:
// `Make` builds it; the reader is one built from a request without an
// address, used only through the reader's operations.
template <MakeStore Make>
std::unique_ptr<Configurator> ConfiguratorOf(Platform& platform, const AccountRequest& request,
                                             const ClientOnSystem& client) {
  return Make(platform, request, client);
}
template <MakeStore Make>
std::unique_ptr<AccountReader> ReaderOf(Platform& platform, RunLog& log,
                                        const ClientOnSystem& client) {
  return Make(platform, AccountRequest{"", "", false, false, true, log}, client);
}

// A client whose store `Make` builds, on Windows and on the machine folder
// that stands in for it, where it looks like `windows`.
template <MakeStore Make>
ClientDescriptor DescribeStore(const ClientIdentity& identity, const ClientSite& windows,
                               std::string (*status_message)(ConfigStatus)) {
  ClientDescriptor client{};
  client.default_code = identity.default_code;
  client.name = identity.name;
  client.short_name = identity.short_name;
  client.app_paths_entry = identity.app_paths_entry;
  client.mailto_marker = identity.mailto_marker;
  client.has_default_option = identity.has_default_option;
  client.detection_rank = identity.detection_rank;
  client.button = identity.button;
  client.sites[static_cast<std::size_t>(SystemKind::Windows)] = windows;
  client.sites[static_cast<std::size_t>(SystemKind::MachineFolder)] = windows;
  client.status_message = status_message;
  client.make_configurator = ConfiguratorOf<Make>;
  client.make_reader = ReaderOf<Make>;
  return client;
}

}  // namespace quillbank
