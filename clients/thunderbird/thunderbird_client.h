// Thunderbird as the program knows it, on Windows and in the Linux home.
#pragma once

#include <string>

#include "core/client_descriptor.h"
#include "env/platform/platform.h"

namespace quillbank {

[[nodiscard]] const ClientDescriptor& ThunderbirdClient();

namespace thunderbird {

// True while a live process holds the profile folder the way Thunderbird on
// Linux locks one: a lock on its ".parentlock" file, or a "lock" link
// ("IP:+PID"; the "+" is left out by a Thunderbird that holds no fcntl lock)
// naming another host, or this host and a live process. A link that cannot
// be read as one counts as held; a link naming a process of this host that
// has ended (left by a crash) does not. Neither file is ever created.
[[nodiscard]] bool ProfileFolderInUse(Platform& platform, const std::string& folder);

// Whether any profile in the site's folders is held: every entry of each
// folder (where Thunderbird on Linux makes its profiles) and of its
// "Profiles" folder (where a profile made for a first-time user lies).
[[nodiscard]] bool AnyProfileInUse(Platform& platform, const ClientSite& site);

}  // namespace thunderbird
}  // namespace quillbank
