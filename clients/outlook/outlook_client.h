// Outlook as the program knows it: one client with three stores, chosen by
// its major version.
#pragma once

#include "core/client_descriptor.h"
#include "env/platform/platform.h"

namespace quillbank {

[[nodiscard]] const ClientDescriptor& OutlookClient();

// Outlook's major version from "MSIApplicationLCID" of its Clients\Mail key
// (the number between "Office\" and ".0\"). A value that is missing,
// unreadable or holds neither marker gives kUnknownOutlookVersion, so such an
// Outlook is treated as Outlook 2000.
inline constexpr int kUnknownOutlookVersion = 9;
[[nodiscard]] int ReadOutlookVersion(Registry& registry);

// Outlook versions below this one keep their accounts in the Outlook 2000 store.
inline constexpr int kFirstProfileStoreOutlookVersion = 10;
// Outlook 2013 (15) and later keep theirs in a store of their own, which the
// program leaves alone (see outlook_own_store.h).
inline constexpr int kFirstOwnStoreOutlookVersion = 15;

}  // namespace quillbank
