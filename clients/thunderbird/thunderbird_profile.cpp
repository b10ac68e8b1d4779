#include "clients/thunderbird/thunderbird_profile.h"

#include <utility>

#include "clients/thunderbird/thunderbird_profile_list.h"
#include "core/ascii_text.h"
#include "env/registry_access.h"
#include "env/run_log.h"
#include "env/text_file.h"
#include "env/user_folders.h"

namespace quillbank {
namespace thunderbird {

std::string CreatedProfileList(std::string_view line_end) {
  std::string text;
  for (const char* line : {"[General]", "StartWithLastProfile=1", "", "[Profile0]", "Name=default",
                           "IsRelative=1", "Path=Profiles/s8eyyog6.default"}) {
    text += line;
    text += line_end;
  }
  return text;
}

std::string CreatedCompatibilityFile(std::string_view line_end) {
  std::string text = "[Compatibility]";
  text += line_end;
  return text;
}


}  // namespace thunderbird

using namespace thunderbird;

namespace {

// The profile a rule chose: its folder as profiles.ini names it, its full
// path and why it was taken.
struct Choice {
  std::string folder;
  std::string path;
  std::string reason;
};

// A relative profile path is used only when it stays below the Thunderbird
// folder: no drive, no leading separator, no ".." step.
bool StaysInside(std::string_view relative) {
  if (relative.empty() || relative.front() == '/' || relative.front() == '\\') return false;
  if (relative.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = relative.size();
    if (relative.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

// Applies the three rules to the sections of profiles.ini, checking each
// candidate folder and logging every candidate it passes over.
class ProfileChooser {
 public:
  ProfileChooser(Platform& platform, RunLog& log, std::string thunderbird_folder)
      : platform_(platform), log_(log), thunderbird_folder_(std::move(thunderbird_folder)) {}

  // The profile to use, or nullopt with the reason in `why`.
  std::optional<Choice> Choose(std::string_view list, std::string& why) {
    const std::vector<IniSection> sections = ParseIni(list);
    if (HasSection(sections, "Install")) return FromInstallSections(sections, why);
    if (std::optional<Choice> marked = FromDefaultMark(sections, why)) return marked;
    if (!why.empty()) return std::nullopt;
    return FromDefaultName(list, why);
  }

 private:
  static bool HasSection(const std::vector<IniSection>& sections, std::string_view prefix) {
    for (const IniSection& section : sections) {
      if (StartsWithIgnoringCase(section.name, prefix)) return true;
    }
    return false;
  }

  std::optional<Choice> FromInstallSections(const std::vector<IniSection>& sections,
                                            std::string& why) {
    std::optional<Choice> chosen;
    for (const IniSection& install : sections) {
      if (!StartsWithIgnoringCase(install.name, "Install")) continue;
      const std::string named = install.Get("Default").value_or("");
      std::optional<Choice> found =
          Resolve(named, IsRelative(sections, named), "named by profiles.ini section " + install.name);
      if (!found) continue;
      if (chosen) {
        log_ << "Thunderbird profile also named by profiles.ini section " << install.name << ": "
             << found->path << kEndLine;
      } else {
        chosen = std::move(found);
      }
    }
    if (!chosen) why = "no profile that profiles.ini names for an installation exists.";
    return chosen;
  }

  // Default= of an Install section resolves as its [Profile...] section says;
  // a value that no section has as its Path= is a relative path.
  static bool IsRelative(const std::vector<IniSection>& sections, const std::string& path) {
    for (const IniSection& profile : sections) {
      if (StartsWithIgnoringCase(profile.name, "Profile") && profile.Get("Path") == path) {
        return profile.Get("IsRelative") != "0";
      }
    }
    return true;
  }

  std::optional<Choice> FromDefaultMark(const std::vector<IniSection>& sections, std::string& why) {
    bool marked = false;
    for (const IniSection& profile : sections) {
      if (!StartsWithIgnoringCase(profile.name, "Profile") || profile.Get("Default") != "1") continue;
      marked = true;
      std::optional<Choice> found = Resolve(profile.Get("Path").value_or(""),
                                            profile.Get("IsRelative") != "0", "marked Default=1");
      if (found) return found;
    }
    if (marked) why = "the profile marked Default=1 does not exist.";
    return std::nullopt;
  }

  // The rule of older Thunderbirds: the folder need not exist yet, it is made.
  std::optional<Choice> FromDefaultName(std::string_view list, std::string& why) {
    const std::optional<std::string> found = FindDefaultProfilePath(list);
    if (!found || *found == kNoProfilePath) {
      why = "profiles.ini names no default profile.";
      return std::nullopt;
    }
    const std::string& path = *found;
    if (!StaysInside(path)) {
      LogOutside(path);
      why = "profiles.ini names no default profile inside the Thunderbird folder.";
      return std::nullopt;
    }
    std::string folder = path;
    const std::size_t slash = folder.find('/');
    if (slash != std::string::npos) folder[slash] = PathSeparator(platform_);
    return Choice{folder, JoinPath(platform_, thunderbird_folder_, folder), "named default"};
  }

  std::optional<Choice> Resolve(const std::string& path, bool relative, std::string reason) {
    if (path.empty()) return std::nullopt;
    if (relative && !StaysInside(path)) {
      LogOutside(path);
      return std::nullopt;
    }
    const std::string folder = relative ? NativePath(platform_, path) : path;
    const std::string full = relative ? JoinPath(platform_, thunderbird_folder_, folder) : path;
    if (!platform_.files.FolderExists(full)) {
      log_ << "Thunderbird profile skipped: " << full << " does not exist." << kEndLine;
      return std::nullopt;
    }
    return Choice{folder, full, std::move(reason)};
  }

  void LogOutside(const std::string& path) {
    log_ << "Thunderbird profile skipped: " << path << " leaves the Thunderbird folder." << kEndLine;
  }

  Platform& platform_;
  RunLog& log_;
  const std::string thunderbird_folder_;
};

}  // namespace

std::optional<std::string> FindDefaultProfilePath(std::string_view profile_list) {
  // The default profile, once seen, stays seen: the first Path= line after it
  // is taken even when it belongs to a later section.
  bool default_seen = false;
  for (const std::string_view line : SplitLines(profile_list)) {
    if (line.find("Name=default") != std::string_view::npos) default_seen = true;
    if (default_seen && line.find("Path=") != std::string_view::npos) {
      return std::string(line.size() > 5 ? line.substr(5) : std::string_view());
    }
  }
  return std::nullopt;
}

std::optional<std::string> ProfileLocator::ThunderbirdFolder() {
  const std::vector<std::string> folders = ClientFolders(platform_, site_);
  if (folders.empty()) return std::nullopt;
  if (folders.size() == 1) return folders.front();
  return ChooseThunderbirdFolder(folders);
}

std::string ProfileLocator::ChooseThunderbirdFolder(const std::vector<std::string>& folders) {
  std::size_t chosen = 0;
  std::string reason = "none has a profiles.ini";
  std::optional<std::int64_t> newest;
  std::size_t listed = 0;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (!platform_.files.FileExists(JoinPath(platform_, folders[i], "profiles.ini"))) continue;
    const std::optional<std::int64_t> changed = PreferencesChanged(folders[i]);
    if (listed++ == 0 || (changed && (!newest || *changed > *newest))) {
      chosen = i;
      newest = changed;
    }
  }
  if (listed == 1) reason = "the only one with a profiles.ini";
  if (listed > 1) reason = "its profile's prefs.js changed last";
  log_ << "Thunderbird folder in use: " << folders[chosen] << " (" << reason << ")" << kEndLine;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (i != chosen && platform_.files.FolderExists(folders[i])) {
      log_ << "Thunderbird folder also present: " << folders[i] << kEndLine;
    }
  }
  return folders[chosen];
}

std::optional<std::int64_t> ProfileLocator::PreferencesChanged(const std::string& folder) {
  const std::optional<std::string> list =
      platform_.files.ReadFile(JoinPath(platform_, folder, "profiles.ini"));
  RunLog unheard;  // the folders compared are not the one in use: their lines are not logged
  std::string why;
  const std::optional<Choice> choice =
      list ? ProfileChooser(platform_, unheard, folder).Choose(*list, why) : std::nullopt;
  if (!choice) return std::nullopt;
  return platform_.user.ModifiedTime(JoinPath(platform_, choice->path, "prefs.js"));
}

PreparedProfile ProfileLocator::PrepareProfile() {
  PreparedProfile result;
  ProfileLocation& location = result.location;
  const std::optional<std::string> found_folder = ThunderbirdFolder();
  if (!found_folder) {
    log_.Line("The user's application data folder is not known. No changes were made.");
    result.status = status::kCannotConfigure;
    return result;
  }
  Files& files = platform_.files;
  const std::string& thunderbird_folder = *found_folder;
  const std::string profile_list_path = JoinPath(platform_, thunderbird_folder, "profiles.ini");
  location.thunderbird_folder = thunderbird_folder;

  // Read first: only a list that cannot be read and does not exist makes a
  // first-time user, so a failing look-up never replaces the user's list.
  const std::optional<std::string> list = files.ReadFile(profile_list_path);
  const bool first_time = !list && !files.FileExists(profile_list_path);
  std::string reason;
  if (first_time) {
    result.status = CreateProfileList(thunderbird_folder, location);
    if (result.status != status::kSuccess) return result;
    location.profile_folder = NativePath(platform_, kCreatedProfileFolder);
    location.profile_path = JoinPath(platform_, thunderbird_folder, location.profile_folder);
    reason = "created for a first-time user";
  } else {
    std::string why;
    if (!ChooseListedProfile(thunderbird_folder, list, location, reason, why)) {
      result.status = Fail(status::kCannotConfigure, why, location);
      return result;
    }
  }

  location.preferences_path = JoinPath(platform_, location.profile_path, "prefs.js");
  if (!files.FileExists(location.preferences_path)) {
    result.status = CreateProfileFolder(thunderbird_folder, first_time, location);
    if (result.status != status::kSuccess) return result;
  }
  LogProfileInUse(location, reason);
  return result;
}

std::optional<ProfileLocation> ProfileLocator::FindProfile() {
  const std::optional<std::string> found_folder = ThunderbirdFolder();
  if (!found_folder) {
    log_.Line("Thunderbird profile not usable: the user's application data folder is not known.");
    return std::nullopt;
  }
  const std::string& thunderbird_folder = *found_folder;
  const std::string profile_list_path = JoinPath(platform_, thunderbird_folder, "profiles.ini");
  const std::optional<std::string> list = platform_.files.ReadFile(profile_list_path);
  ProfileLocation location;
  location.thunderbird_folder = thunderbird_folder;
  std::string reason;
  std::string why;
  if (!list && !platform_.files.FileExists(profile_list_path)) {
    why = "Thunderbird has not been set up (no profiles.ini).";
  } else if (ChooseListedProfile(thunderbird_folder, list, location, reason, why)) {
    location.preferences_path = JoinPath(platform_, location.profile_path, "prefs.js");
    LogProfileInUse(location, reason);
    return location;
  }
  log_ << "Thunderbird profile not usable: " << why << kEndLine;
  return std::nullopt;
}

bool ProfileLocator::ChooseListedProfile(const std::string& thunderbird_folder,
                                         const std::optional<std::string>& list,
                                         ProfileLocation& location, std::string& reason,
                                         std::string& why) {
  if (!list) {
    why = "profiles.ini cannot be read.";
    return false;
  }
  const std::optional<Choice> choice =
      ProfileChooser(platform_, log_, thunderbird_folder).Choose(*list, why);
  if (!choice) return false;
  location.profile_folder = choice->folder;
  location.profile_path = choice->path;
  reason = choice->reason;
  return true;
}

void ProfileLocator::LogProfileInUse(const ProfileLocation& location, const std::string& reason) {
  log_ << "Thunderbird profile in use: " << NativePath(platform_, location.profile_path) << " (" << reason
       << ")" << kEndLine;
}

ConfigStatus ProfileLocator::CreateProfileList(const std::string& thunderbird_folder,
                                               ProfileLocation& location) {
  log_ << "Profile data not found. Creating in user's application data folder ... ";
  const std::string path = JoinPath(platform_, thunderbird_folder, "profiles.ini");
  const bool written = CreateFolder(thunderbird_folder, location) &&
                       platform_.files.ReplaceContents(path, CreatedProfileList(site_.line_end)) ==
                       FileWrite::Written;
  if (!written) {
    log_.Line("failed.");
    return Fail(status::kWriteFailed, "profiles.ini could not be written.", location);
  }
  location.created_files.push_back(path);
  log_.Line("done.");
  return status::kSuccess;
}

ConfigStatus ProfileLocator::CreateProfileFolder(const std::string& thunderbird_folder,
                                                 bool first_time, ProfileLocation& location) {
  log_ << "Profile directory not found. Creating in user's application data folder ... ";
  bool created = platform_.files.FolderExists(location.profile_path);
  if (!created) {
    // The level above first; when it cannot be made, the profile folder fails.
    (void)CreateFolder(JoinPath(platform_, thunderbird_folder, "Profiles"), location);
    created = CreateFolder(location.profile_path, location);
  }
  if (created && first_time) {
    // Thunderbird adopts a listed profile on its first start only when the
    // profile's compatibility.ini ties it to no other installation.
    const std::string path = JoinPath(platform_, location.profile_path, "compatibility.ini");
    created = platform_.files.ReplaceContents(
                  path, CreatedCompatibilityFile(site_.line_end)) == FileWrite::Written;
    if (created) location.created_files.push_back(path);
  }
  if (!created) {
    log_.Line("failed.");
    return Fail(status::kWriteFailed, "the profile folder could not be created.", location);
  }
  log_.Line("done.");
  return status::kSuccess;
}

bool ProfileLocator::CreateFolder(const std::string& path, ProfileLocation& location) {
  if (platform_.files.FolderExists(path)) return true;
  if (!platform_.files.CreateFolder(path)) return false;
  location.created_folders.push_back(path);
  return true;
}

ConfigStatus ProfileLocator::Fail(ConfigStatus status, const std::string& why,
                                  ProfileLocation& location) {
  log_ << "Thunderbird profile not usable: " << why << kEndLine;
  Undo(location);
  return status;
}

void ProfileLocator::Undo(const ProfileLocation& location) {
  for (auto file = location.created_files.rbegin(); file != location.created_files.rend(); ++file) {
    platform_.files.DeleteFile(*file);
  }
  for (auto folder = location.created_folders.rbegin(); folder != location.created_folders.rend();
       ++folder) {
    platform_.files.RemoveFolder(*folder);
  }
}

}  // namespace quillbank
