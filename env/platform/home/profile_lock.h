// Whether a Thunderbird profile folder is held by a running Thunderbird, told
// the two ways Thunderbird on Linux locks one.
#pragma once

#include <string>

namespace quillbank {

// True when a process holds an fcntl lock on `folder`/.parentlock (asked with
// F_GETLK, which sees locks across the PID namespaces of snap and flatpak),
// or when `folder`/lock is a symbolic link "IP:+PID" (the "+" is left out by
// a Thunderbird that holds no fcntl lock) naming another host, or this host
// and a live process. A link that cannot be read as one counts as held; a
// link naming a process of this host that has ended (left by a crash) does
// not. Neither file is ever created.
[[nodiscard]] bool ProfileFolderInUse(const std::string& folder);

}  // namespace quillbank
