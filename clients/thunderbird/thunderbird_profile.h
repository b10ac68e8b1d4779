// Finds the Thunderbird profile whose prefs.js the configurator edits: the
// profile Thunderbird itself opens when the user starts it. For a user who
// never set Thunderbird up, the profile list and a profile folder are created
// that Thunderbird adopts on its first start.
//
// Which profile, in the order Thunderbird decides:
//  1. profiles.ini has [Install...] sections (every Thunderbird since 2019
//     writes one per installation): the first whose Default= names a profile
//     folder that exists. Default= is matched against the Path= of the
//     [Profile...] sections, whose IsRelative says how it resolves; a
//     Default= that matches none is a relative path.
//  2. No Install section: the [Profile...] marked Default=1 whose folder
//     exists.
//  3. Neither: the first Path= after the first line naming the default
//     profile, as older Thunderbirds kept it.
// When none of these gives a folder, the run fails and writes nothing.
// Relative paths that would leave the Thunderbird folder are never used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config_status.h"
#include "core/client_descriptor.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace thunderbird {

// As profiles.ini names it; paths give it the platform's separator.
inline constexpr const char* kCreatedProfileFolder = "Profiles/s8eyyog6.default";
// A default profile path of this text has always meant none.
inline constexpr const char* kNoProfilePath = "NULL";

}  // namespace thunderbird

struct ProfileLocation {
  std::string thunderbird_folder;  // the folder of profiles.ini
  std::string profile_folder;    // as profiles.ini names it (a relative one with its first "/" as "\")
  std::string profile_path;      // the profile folder's full path
  std::string preferences_path;  // <profile path>\prefs.js
  // What the run created for this profile, in the order it was created, so
  // that a run that fails later can take it away again.
  std::vector<std::string> created_folders;
  std::vector<std::string> created_files;
};

// The outcome of PrepareProfile: success with the location, or the status the
// run fails with (1: no usable profile or application data folder; 7: the
// profile of a first-time user could not be created). A failure has logged
// its reason and left nothing behind.
struct PreparedProfile {
  ConfigStatus status = status::kSuccess;
  ProfileLocation location;
};

// The path of the first "Path=" line after the first line naming the default
// profile, or "NULL" when there is none.
[[nodiscard]] std::optional<std::string> FindDefaultProfilePath(std::string_view profile_list);

// Locates (and, for a first-time user, creates) the profile Thunderbird opens.
class ProfileLocator {
 public:
  ProfileLocator(Platform& platform, const ClientSite& site, RunLog& log)
      : platform_(platform), site_(site), log_(log) {}

  // The folder of profiles.ini, from the site's folders: the one there is
  // (APPDATA's "Thunderbird" folder on Windows and the machine folder). Where
  // there are several (the Linux packages'), the first that holds a
  // profiles.ini, or, when several do, the one whose profile in use has the
  // prefs.js changed last; the first when none does. Logs the folder taken
  // and the others present then. None when no folder is known.
  [[nodiscard]] std::optional<std::string> ThunderbirdFolder();

  // Finds the profile in use, or creates one for a first-time user; logs the
  // profile taken ("Thunderbird profile in use: ...") or why there is none.
  [[nodiscard]] PreparedProfile PrepareProfile();

  // The profile PrepareProfile would take, found without creating anything
  // (nothing is listed as created); none for a first-time user, whose
  // profile does not exist yet. Logs the profile taken or why there is none.
  [[nodiscard]] std::optional<ProfileLocation> FindProfile();

  // Removes what PrepareProfile created, newest first.
  void Undo(const ProfileLocation& location);

 private:
  // The profile profiles.ini names (`list`, none when it cannot be read):
  // fills the location's folder and path and the reason, or `why` not.
  bool ChooseListedProfile(const std::string& thunderbird_folder,
                           const std::optional<std::string>& list, ProfileLocation& location,
                           std::string& reason, std::string& why);
  std::string ChooseThunderbirdFolder(const std::vector<std::string>& folders);
  // When the prefs.js of the profile in use in `folder` was last changed.
  std::optional<std::int64_t> PreferencesChanged(const std::string& folder);
  void LogProfileInUse(const ProfileLocation& location, const std::string& reason);
  [[nodiscard]] ConfigStatus CreateProfileList(const std::string& thunderbird_folder,
                                               ProfileLocation& location);
  [[nodiscard]] ConfigStatus CreateProfileFolder(const std::string& thunderbird_folder,
                                                 bool first_time, ProfileLocation& location);
  bool CreateFolder(const std::string& path, ProfileLocation& location);
  ConfigStatus Fail(ConfigStatus status, const std::string& why, ProfileLocation& location);

  Platform& platform_;
  const ClientSite& site_;
  RunLog& log_;
};

}  // namespace quillbank
