#include "env/platform/machine/machine_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "env/platform/machine/host_files.h"
#include "env/platform/registry_tree.h"
#include "env/platform/wildcard.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool OnDriveC(const std::string& windows_path) {
  return windows_path.size() >= 2 && windows_path[1] == ':' &&
         std::toupper(static_cast<unsigned char>(windows_path[0])) == 'C';
}

// The name of the entry of `folder` that is `name` without regard to case;
// `name` itself when it exists as it is or not at all.
std::string MatchComponent(const fs::path& folder, const std::string& name) {
  if (fs::exists(folder / name)) return name;
  std::error_code error;
  const std::string wanted = Upper(name);
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string candidate = entry.path().filename().string();
    if (Upper(candidate) == wanted) return candidate;
  }
  return name;
}

// The names in `folder` that match `pattern`, in the order NTFS lists them
// (by upper-cased name).
std::vector<std::string> MatchingNames(const fs::path& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (MatchesWildcard(name, pattern)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
  return names;
}

class MachineAppendFile final : public AppendFile {
 public:
  explicit MachineAppendFile(int fd) : fd_(fd) {}
  ~MachineAppendFile() override { Close(); }
  bool Append(std::string_view bytes) override {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (written <= 0) return false;
      done += static_cast<std::size_t>(written);
    }
    return true;
  }
  bool Close() override {
    if (fd_ < 0) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
  }

 private:
  int fd_;
};

}  // namespace

std::optional<std::string> MachineFiles::ReadFile(const std::string& path) {
  const auto host = Resolve(path);
  if (!host || !fs::is_regular_file(*host)) return std::nullopt;
  return ReadHostFile(*host);
}

FileWrite MachineFiles::ReplaceContents(const std::string& path, std::string_view bytes) {
  const auto host = Resolve(path);
  if (!host) return FileWrite::Failed;
  return ReplaceHostFile(*host, bytes);
}

std::unique_ptr<AppendFile> MachineFiles::OpenForAppend(const std::string& path) {
  const auto host = Resolve(path);
  if (!host) return nullptr;
  const int fd = ::open(host->c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (fd < 0) return nullptr;
  return std::make_unique<MachineAppendFile>(fd);
}

// Like DeleteFileA, refuses a file marked read-only (no write bit at all).
bool MachineFiles::DeleteFile(const std::string& path) {
  const auto host = Resolve(path);
  if (!host || !fs::is_regular_file(*host)) return false;
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((fs::status(*host).permissions() & kWrite) == fs::perms::none) return false;
  return ::unlink(host->c_str()) == 0;
}

bool MachineFiles::RemoveFolder(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_directory(fs::symlink_status(*host)) && ::rmdir(host->c_str()) == 0;
}

bool MachineFiles::CreateFolder(const std::string& path) {
  const auto host = Resolve(path);
  if (!host) return false;
  std::error_code error;
  fs::create_directory(*host, error);
  return fs::is_directory(*host);
}

bool MachineFiles::FileExists(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_regular_file(*host);
}

bool MachineFiles::FolderExists(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_directory(*host);
}

std::vector<std::string> MachineFiles::ListFolder(const std::string& pattern) {
  const std::size_t cut = pattern.find_last_of("\\/");
  if (cut == std::string::npos) return {};
  const auto folder = Resolve(pattern.substr(0, cut));
  if (!folder || !fs::is_directory(*folder)) return {};
  return MatchingNames(*folder, pattern.substr(cut + 1));
}

// Each existing component is found without regard to case; "." and ".."
// are taken as Windows takes them, and ".." never leaves drive C:.
std::optional<fs::path> MachineFiles::Resolve(const std::string& windows_path) const {
  std::string path = windows_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (!OnDriveC(path)) return std::nullopt;
  fs::path host = drive_c_;
  for (const std::string& part : SplitKeyPath(path.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (host != drive_c_) host = host.parent_path();
      continue;
    }
    host /= MatchComponent(host, part);
  }
  return host;
}

}  // namespace quillbank
