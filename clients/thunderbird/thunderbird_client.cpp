#include "clients/thunderbird/thunderbird_client.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "clients/common/client_description.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "env/user_folders.h"

namespace quillbank {
namespace thunderbird {
namespace {

constexpr std::uint32_t kMaxProcessId = 0x7fffffff;

// The four numbers of a dotted IPv4 address, each written without leading
// zeros (as the lock link writes them); none for anything else.
std::optional<std::vector<int>> ParseAddress(std::string_view text) {
  std::vector<int> parts;
  while (true) {
    const std::size_t dot = text.find('.');
    const std::string_view part = text.substr(0, dot);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part.front() == '0')) {
      return std::nullopt;
    }
    int value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return std::nullopt;
    parts.push_back(value);
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (parts.size() != 4) return std::nullopt;
  return parts;
}

struct LockSignature {
  std::vector<int> address;
  std::uint32_t pid = 0;
};

// "IP:+PID" or "IP:PID".
std::optional<LockSignature> ParseSignature(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view pid_text = text.substr(colon + 1);
  if (!pid_text.empty() && pid_text.front() == '+') pid_text.remove_prefix(1);
  if (pid_text.empty() || pid_text.size() > 10) return std::nullopt;
  std::uint64_t pid = 0;
  for (const char c : pid_text) {
    if (c < '0' || c > '9') return std::nullopt;
    pid = pid * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (pid == 0 || pid > kMaxProcessId) return std::nullopt;
  std::optional<std::vector<int>> address = ParseAddress(text.substr(0, colon));
  if (!address) return std::nullopt;
  return LockSignature{std::move(*address), static_cast<std::uint32_t>(pid)};
}

// A loopback address, or one the host's own name resolves to.
bool IsThisHost(UserSpace& user, const std::vector<int>& address) {
  if (address[0] == 127) return true;
  for (const std::string& own : user.HostAddresses()) {
    if (ParseAddress(own) == address) return true;
  }
  return false;
}

bool LockLinkHeld(UserSpace& user, const std::string& link_path) {
  const UserSpace::Link link = user.ReadLink(link_path);
  if (!link.is_link) return false;
  if (!link.target) return true;
  const std::optional<LockSignature> signature = ParseSignature(*link.target);
  if (!signature) return true;  // not Thunderbird's form: taken as held, to be safe
  return !IsThisHost(user, signature->address) || user.ProcessAlive(signature->pid);
}

}  // namespace

bool ProfileFolderInUse(Platform& platform, const std::string& folder) {
  return platform.user.LockedByOtherProcess(JoinPath(platform, folder, ".parentlock")) ||
         LockLinkHeld(platform.user, JoinPath(platform, folder, "lock"));
}

bool AnyProfileInUse(Platform& platform, const ClientSite& site) {
  for (const std::string& folder : ClientFolders(platform, site)) {
    for (const std::string& level : {folder, JoinPath(platform, folder, "Profiles")}) {
      for (const std::string& name : platform.files.ListFolder(JoinPath(platform, level, "*"))) {
        if (name == "." || name == "..") continue;
        if (ProfileFolderInUse(platform, JoinPath(platform, level, name))) return true;
      }
    }
  }
  return false;
}

}  // namespace thunderbird

namespace {

std::string StatusMessage(ConfigStatus status) {
  // The profile folder could not be found or prefs.js could not be read.
  if (status == status::kCannotConfigure) return kUnableToConfigure;
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem& client) {
  return std::make_unique<ThunderbirdConfigurator>(platform, request, client.site);
}

ClientSite WindowsThunderbird() {
  ClientSite site = WindowsSite("Mozilla Thunderbird", "thunderbird.exe");
  site.folders = {{UserFolder::AppData, "Thunderbird"}};
  return site;
}

// On Linux the packages keep their profiles apart: the plain one, then the
// snap's, then the flatpak's. Prefs.js keeps the line ends it has, and new
// files get Linux's.
ClientSite HomeThunderbird() {
  ClientSite site;
  site.exists = true;
  site.program_on_path = "thunderbird";
  site.folders = {{UserFolder::Home, ".thunderbird"},
                  {UserFolder::Home, "snap/thunderbird/common/.thunderbird"},
                  {UserFolder::Home, ".var/app/org.mozilla.Thunderbird/.thunderbird"}};
  site.installed_when_folder_exists = true;
  // Some packages run the program as "-bin" beside its launcher.
  site.processes = {"thunderbird", "thunderbird-bin"};
  site.still_running = thunderbird::AnyProfileInUse;
  site.line_end = "\n";
  site.keeps_file_line_end = true;
  site.default_when_unset = true;
  return site;
}

}  // namespace

const ClientDescriptor& ThunderbirdClient() {
  static const ClientDescriptor client = [] {
    ClientDescriptor thunderbird = DescribeStore<Make>(
        {5, "Mozilla Thunderbird", "Thunderbird", "thunderbird.exe", "thunde", true, 0,
         {1016, 43, 74, 110, 9, "Mozilla Thunderbird"}},
        WindowsThunderbird(), StatusMessage);
    thunderbird.sites[static_cast<std::size_t>(SystemKind::UserHome)] = HomeThunderbird();
    return thunderbird;
  }();
  return client;
}

}  // namespace quillbank
