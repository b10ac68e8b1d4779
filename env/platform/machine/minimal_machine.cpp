#include "env/platform/machine/minimal_machine.h"

#include <cctype>
#include <cstdlib>

#include "env/platform/posix/host_files.h"
#include "env/platform/machine/registry_hive.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// The host user's name, reduced to characters any Windows path can hold.
std::string UserName() {
  const char* user = std::getenv("USER");
  std::string name = user && *user ? user : "user";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
  }
  return name;
}

void CreateUserFolders(const fs::path& folder, const std::string& user) {
  std::error_code failed;
  fs::create_directories(folder / "drive_c" / "users" / user / "AppData" / "Roaming", failed);
  fs::create_directories(folder / "drive_c" / "users" / user / "AppData" / "Local", failed);
  fs::create_directories(folder / "drive_c" / "Program Files", failed);
}

std::string UserHive(const std::string& user, long long stamp) {
  const std::string profile = "C:\\\\users\\\\" + user;
  return "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
         "#arch=win64\n\n[Volatile Environment] " + std::to_string(stamp) +
         "\n\"APPDATA\"=\"" + profile + "\\\\AppData\\\\Roaming\"\n"
         "\"HOMEDRIVE\"=\"C:\"\n\"HOMEPATH\"=\"\\\\users\\\\" + user + "\"\n"
         "\"LOCALAPPDATA\"=\"" + profile + "\\\\AppData\\\\Local\"\n"
         "\"USERNAME\"=\"" + user + "\"\n\"USERPROFILE\"=\"" + profile + "\"\n\n";
}

std::string SystemHive(long long stamp) {
  return "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
         "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] " + std::to_string(stamp) +
         "\n\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n";
}

}  // namespace

bool CreateMinimalMachine(const fs::path& folder, std::string& error) {
  const std::string user = UserName();
  CreateUserFolders(folder, user);
  const long long stamp = KeyStampNow();
  if (!WriteHostFileReplacing(folder / "user.reg", UserHive(user, stamp)) ||
      !WriteHostFileReplacing(folder / "system.reg", SystemHive(stamp))) {
    error = "cannot create the machine folder " + folder.string();
    return false;
  }
  return true;
}

}  // namespace quillbank
