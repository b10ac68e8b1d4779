#include "env/platform/home/profile_lock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "env/platform/posix/unique_fd.h"

namespace quillbank {
namespace {

constexpr std::size_t kMaxLinkLength = 256;
constexpr std::size_t kMaxHostName = 256;

// Opened for reading only, never created; a link at the name is not
// followed, and a FIFO planted there does not block the open.
bool ParentLockHeld(const std::string& folder) {
  const UniqueFd file(
      ::open((folder + "/.parentlock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!file.valid()) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;  // conflicts with any lock another process holds
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // the whole file
  // A file system that cannot tell (F_GETLK fails) leaves the answer to the
  // lock link, rather than refusing every run.
  if (::fcntl(file.get(), F_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

struct LockSignature {
  in_addr_t address = 0;  // network order
  pid_t pid = 0;
};

// "IP:+PID" or "IP:PID", the IP as four dotted numbers.
std::optional<LockSignature> ParseSignature(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string ip(text.substr(0, colon));
  std::string_view pid_text = text.substr(colon + 1);
  if (!pid_text.empty() && pid_text.front() == '+') pid_text.remove_prefix(1);
  if (pid_text.empty() || pid_text.size() > 10) return std::nullopt;
  std::int64_t pid = 0;
  for (const char c : pid_text) {
    if (c < '0' || c > '9') return std::nullopt;
    pid = pid * 10 + (c - '0');
  }
  LockSignature signature;
  if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return std::nullopt;
  if (::inet_pton(AF_INET, ip.c_str(), &signature.address) != 1) return std::nullopt;
  signature.pid = static_cast<pid_t>(pid);
  return signature;
}

// A loopback address, or one the host's own name resolves to.
bool IsThisHost(in_addr_t address) {
  if ((ntohl(address) >> 24) == 127) return true;
  char name[kMaxHostName] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &found) != 0) return false;
  bool same = false;
  for (const addrinfo* entry = found; entry && !same; entry = entry->ai_next) {
    same = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr == address;
  }
  ::freeaddrinfo(found);
  return same;
}

// EPERM: the process exists but belongs to someone else.
bool ProcessAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

bool LockLinkHeld(const std::string& folder) {
  const std::string link = folder + "/lock";
  struct stat info {};
  if (::lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
  char target[kMaxLinkLength];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) return true;
  const std::optional<LockSignature> signature =
      ParseSignature(std::string_view(target, static_cast<std::size_t>(length)));
  if (!signature) return true;  // not Thunderbird's form: taken as held, to be safe
  return !IsThisHost(signature->address) || ProcessAlive(signature->pid);
}

}  // namespace

bool ProfileFolderInUse(const std::string& folder) {
  return ParentLockHeld(folder) || LockLinkHeld(folder);
}

}  // namespace quillbank
