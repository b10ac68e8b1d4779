#include "clients/files/thunderbird_profile.h"

#include "env/registry_access.h"
#include "env/run_log.h"
#include "env/text_file.h"

namespace quillbank {
namespace thunderbird {

std::string CreatedProfileList() {
  std::string text;
  for (const char* line : {"[General]", "StartWithLastProfile=1", "", "[Profile0]", "Name=default",
                           "IsRelative=1", "Path=Profiles/s8eyyog6.default"}) {
    text += line;
    text += RunLog::kLineEnd;
  }
  return text;
}

}  // namespace thunderbird

using namespace thunderbird;

std::string FindDefaultProfilePath(std::string_view profile_list) {
  // The default profile, once seen, stays seen: the first Path= line after it
  // is taken even when it belongs to a later section.
  bool default_seen = false;
  for (const std::string_view line : SplitLines(profile_list)) {
    if (line.find("Name=default") != std::string_view::npos) default_seen = true;
    if (default_seen && line.find("Path=") != std::string_view::npos) {
      return std::string(line.size() > 5 ? line.substr(5) : std::string_view());
    }
  }
  return kNoProfilePath;
}

std::optional<std::string> ProfileLocator::AppDataFolder() {
  std::optional<std::string> folder =
      ReadText(platform_.registry, RegRoot::CurrentUser, kVolatileEnvironmentKey, RegAccess::All,
               kAppDataValue, kAppDataCapacity);
  if (!folder || folder->empty()) folder = platform_.environment.Get(kAppDataValue);
  if (!folder || folder->empty()) return std::nullopt;
  while (folder->size() > 1 && (folder->back() == '\\' || folder->back() == '/')) folder->pop_back();
  return folder;
}

std::optional<ProfileLocation> ProfileLocator::PrepareProfile() {
  const std::optional<std::string> app_data = AppDataFolder();
  if (!app_data) return std::nullopt;
  Files& files = platform_.files;
  const std::string thunderbird_folder = *app_data + "\\Thunderbird";
  const std::string profile_list_path = thunderbird_folder + "\\profiles.ini";

  ProfileLocation location;
  location.app_data_folder = *app_data;
  if (const std::optional<std::string> list = files.ReadFile(profile_list_path)) {
    location.profile_folder = FindDefaultProfilePath(*list);
    const std::size_t slash = location.profile_folder.find('/');
    if (slash != std::string::npos) location.profile_folder[slash] = '\\';
  } else {
    log_ << "Profile data not found. Creating in user's application data folder ... ";
    files.CreateFolder(thunderbird_folder);
    // A failed write leaves no half profile list behind.
    (void)files.ReplaceContents(profile_list_path, CreatedProfileList());
    location.profile_folder = kCreatedProfileFolder;
    log_.Line("done.");
  }

  const std::string profile_path = thunderbird_folder + "\\" + location.profile_folder;
  location.preferences_path = profile_path + "\\prefs.js";
  location.temporary_path = profile_path + "\\prefs.tmp";
  if (!files.FileExists(location.preferences_path)) {
    log_ << "Profile directory not found. Creating in user's application data folder ... ";
    files.CreateFolder(thunderbird_folder + "\\Profiles");
    files.CreateFolder(profile_path);
    log_.Line("done.");
  }
  return location;
}

}  // namespace quillbank
