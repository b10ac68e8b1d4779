// Finds the Thunderbird profile whose prefs.js the configurator edits: the
// default profile named in profiles.ini below the user's application data
// folder. For a user who never set Thunderbird up, the profile list and the
// profile folder are created with one fixed profile named "default".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace thunderbird {

inline constexpr const char* kVolatileEnvironmentKey = "Volatile Environment\\";
inline constexpr const char* kAppDataValue = "APPDATA";
inline constexpr std::size_t kAppDataCapacity = 300;  // bytes, terminator included
inline constexpr const char* kCreatedProfileFolder = "Profiles\\s8eyyog6.default";
// What FindDefaultProfilePath returns when profiles.ini names no default profile.
inline constexpr const char* kNoProfilePath = "NULL";

// The seven lines of the profile list written for a first-time user.
[[nodiscard]] std::string CreatedProfileList();

}  // namespace thunderbird

struct ProfileLocation {
  std::string app_data_folder;   // no trailing backslash
  std::string profile_folder;    // relative to the Thunderbird folder, first "/" as "\"
  std::string preferences_path;  // ...\Thunderbird\<profile folder>\prefs.js
  std::string temporary_path;    // ...\Thunderbird\<profile folder>\prefs.tmp
};

// The path of the first "Path=" line after the first line naming the default
// profile, or "NULL" when there is none.
[[nodiscard]] std::string FindDefaultProfilePath(std::string_view profile_list);

// Locates (and, for a first-time user, creates) the default profile.
class ProfileLocator {
 public:
  ProfileLocator(Platform& platform, RunLog& log) : platform_(platform), log_(log) {}

  // The application data folder: the session's APPDATA registry value, or the
  // APPDATA environment variable when the registry has none. nullopt when
  // neither names a folder.
  [[nodiscard]] std::optional<std::string> AppDataFolder();

  // Finds the profile, creating what is missing (creation errors are ignored:
  // a failed creation later shows up as a missing prefs.js). nullopt only when
  // the application data folder is unknown; nothing is created then.
  [[nodiscard]] std::optional<ProfileLocation> PrepareProfile();

 private:
  Platform& platform_;
  RunLog& log_;
};

}  // namespace quillbank
