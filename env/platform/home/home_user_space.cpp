#include "env/platform/home/home_user_space.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "env/platform/posix/unique_fd.h"

namespace quillbank {
namespace {

constexpr std::size_t kMaxLinkLength = 256;
constexpr std::size_t kMaxHostName = 256;
constexpr int kCommandTimeoutMs = 5000;
constexpr std::size_t kMaxCommandOutput = 1 << 20;

extern "C" char** environ;

// An executable regular file (a link to one counts).
bool IsProgram(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The folders a colon-separated variable names, its empty entries passed
// over; `fallback` when it is unset or holds none.
std::vector<std::string> FolderList(const char* name, const std::vector<std::string>& fallback) {
  std::vector<std::string> folders;
  const char* value = std::getenv(name);
  const std::string_view list = value ? value : "";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) folders.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return folders.empty() ? fallback : folders;
}

}  // namespace

std::vector<std::string> HomeUserSpace::ConfigFolders() {
  std::vector<std::string> folders = FolderList("XDG_CONFIG_HOME", {home_ + "/.config"});
  folders.resize(1);  // one user folder, whatever the variable holds
  for (std::string& folder : FolderList("XDG_CONFIG_DIRS", {"/etc/xdg"})) {
    folders.push_back(std::move(folder));
  }
  return folders;
}

std::vector<std::string> HomeUserSpace::DataFolders() {
  std::vector<std::string> folders = FolderList("XDG_DATA_HOME", {home_ + "/.local/share"});
  folders.resize(1);
  for (std::string& folder : FolderList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"})) {
    folders.push_back(std::move(folder));
  }
  folders.push_back(home_ + "/.local/share/flatpak/exports/share");
  folders.push_back("/var/lib/flatpak/exports/share");
  return folders;
}

std::vector<std::string> HomeUserSpace::CurrentDesktops() {
  std::vector<std::string> desktops = FolderList("XDG_CURRENT_DESKTOP", {});
  for (std::string& desktop : desktops) {
    for (char& c : desktop) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return desktops;
}

bool HomeUserSpace::OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string_view rest(path);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!entry.empty() && IsProgram(std::string(entry) + "/" + program)) return true;
  }
  return false;
}

std::optional<std::int64_t> HomeUserSpace::ModifiedTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtime);
}

// Opened for reading only, never created; a link at the name is not
// followed, and a FIFO planted there does not block the open.
bool HomeUserSpace::LockedByOtherProcess(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (file.get() < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;  // conflicts with any lock another process holds
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // the whole file
  // A file system that cannot tell (F_GETLK fails) answers "not locked"
  // rather than refusing every run.
  if (::fcntl(file.get(), F_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

UserSpace::Link HomeUserSpace::ReadLink(const std::string& path) {
  Link link;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return link;
  link.is_link = true;
  char target[kMaxLinkLength];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof target) {
    link.target = std::string(target, static_cast<std::size_t>(length));
  }
  return link;
}

// EPERM: the process exists but belongs to someone else.
bool HomeUserSpace::ProcessAlive(std::uint32_t id) {
  if (id == 0 || id > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::vector<std::string> HomeUserSpace::HostAddresses() {
  std::vector<std::string> addresses;
  char name[kMaxHostName] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &found) != 0) return addresses;
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const in_addr address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
    if (::inet_ntop(AF_INET, &address, text, sizeof text)) addresses.emplace_back(text);
  }
  ::freeaddrinfo(found);
  return addresses;
}

}  // namespace quillbank

namespace quillbank {

std::optional<std::string> HomeUserSpace::CommandOutput(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  // Everything the child needs is made before it is forked.
  std::vector<std::string> environment{"HOME=" + home_};
  for (char** entry = environ; *entry; ++entry) {
    if (std::string_view(*entry).rfind("HOME=", 0) != 0) environment.emplace_back(*entry);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    return std::nullopt;
  }
  if (child == 0) {
    const int nothing = ::open("/dev/null", O_RDWR);
    if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(pipe_ends[1], 1) < 0 || ::dup2(nothing, 2) < 0) {
      ::_exit(127);
    }
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  const UniqueFd output(pipe_ends[0]);
  std::string text;
  bool complete = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCommandTimeoutMs);
  while (text.size() <= kMaxCommandOutput) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{output.get(), POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) break;
    char buffer[4096];
    const ssize_t read = ::read(output.get(), buffer, sizeof buffer);
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) {
      complete = read == 0;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(read));
  }
  if (!complete) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return text;
}

}  // namespace quillbank
