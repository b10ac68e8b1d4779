// Real Thunderbird for the end-to-end tests: started headless in a home of
// the test's own, as a user starts it (no --profile), and the files it leaves.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillbank::e2e {

inline constexpr const char* kThunderbird = "/usr/bin/thunderbird";

// Starts Thunderbird headless with HOME=`home` and no profile named; ends it
// with SIGTERM once `ready` holds or 30 s have passed, and waits until it has
// gone (it writes prefs.js once more as it shuts down).
void RunThunderbird(const std::filesystem::path& home, const std::function<bool()>& ready);

// The profile folders below a Thunderbird folder whose prefs.js holds `text`.
[[nodiscard]] std::vector<std::filesystem::path> ProfilesHolding(
    const std::filesystem::path& thunderbird, const std::string& text);

// Replaces `to` by a copy of `from` (links copied as links).
void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// A home in which Thunderbird has run once, made once per test program (a
// start of Thunderbird takes seconds); tests copy its ".thunderbird".
[[nodiscard]] const std::filesystem::path& ThunderbirdMadeHome();

// The Default= of profiles.ini's first Install section: the profile
// Thunderbird opens.
[[nodiscard]] std::string InstallDefault(const std::filesystem::path& thunderbird);

// The incoming server that prefs.js gives `address`, as "serverN"; empty
// when there is none.
[[nodiscard]] std::string ServerOf(const std::filesystem::path& profile, const std::string& address);

// The preference key "mail.server.serverN.directory" (quoted) of the server
// whose name is `name_pattern` (a regular expression); empty when none.
[[nodiscard]] std::string DirectoryKeyOfServerNamed(const std::string& prefs,
                                                    const std::string& name_pattern);

// Moves the incoming servers on the provider's host to another provider's:
// Thunderbird drops an account whose incoming server has the same user
// name, host and type as another's, so the automatic mode's copy of an
// account on the provider's own server would be dropped as a duplicate.
// False when prefs.js held no such server.
bool MoveServersElsewhere(const std::filesystem::path& profile);

}  // namespace quillbank::e2e
