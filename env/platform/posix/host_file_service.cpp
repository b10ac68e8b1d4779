#include "env/platform/posix/host_file_service.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "env/platform/posix/host_files.h"
#include "env/platform/posix/unique_fd.h"
#include "env/platform/wildcard.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// The names in `folder` that match `pattern`, in the order NTFS lists them
// (by upper-cased name), so that both systems list alike. Names that differ
// only in case, which a host folder can hold, come in byte order.
std::vector<std::string> MatchingNames(const fs::path& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (MatchesWildcard(name, pattern)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) {
              const std::string upper_a = UpperFileName(a);
              const std::string upper_b = UpperFileName(b);
              return upper_a != upper_b ? upper_a < upper_b : a < b;
            });
  return names;
}

// Each append goes to the file with one write() loop and no buffer of its
// own, so a line is in the file when Append returns.
class HostAppendFile final : public AppendFile {
 public:
  explicit HostAppendFile(UniqueFd fd) : fd_(std::move(fd)) {}
  bool Append(std::string_view bytes) override {
    return fd_.valid() && WriteAllTo(fd_.get(), bytes);
  }
  bool Close() override { return fd_.Reset(); }

 private:
  UniqueFd fd_;
};

}  // namespace

std::optional<std::string> HostFileService::ReadFile(const std::string& path) {
  const auto host = Resolve(path);
  if (!host || !fs::is_regular_file(*host)) return std::nullopt;
  return ReadHostFile(*host);
}

std::unique_ptr<FileView> HostFileService::ViewFile(const std::string& path) {
  const auto host = Resolve(path);
  if (!host || !fs::is_regular_file(*host)) return nullptr;
  return ViewHostFile(*host);
}

FileWrite HostFileService::ReplaceContents(const std::string& path, std::string_view bytes) {
  return ReplaceContentsInPieces(path, {bytes});
}

FileWrite HostFileService::ReplaceContentsInPieces(const std::string& path,
                                                   const std::vector<std::string_view>& pieces) {
  const auto host = Resolve(path);
  if (!host) return FileWrite::Failed;
  return ReplaceHostFile(*host, pieces);
}

// Not inherited by a program the run starts: the log stays the run's own.
std::unique_ptr<AppendFile> HostFileService::OpenForAppend(const std::string& path) {
  const auto host = Resolve(path);
  if (!host) return nullptr;
  UniqueFd fd(::open(host->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.valid()) return nullptr;
  return std::make_unique<HostAppendFile>(std::move(fd));
}

// Like DeleteFileA, refuses a file marked read-only (no write bit at all).
bool HostFileService::DeleteFile(const std::string& path) {
  const auto host = Resolve(path);
  if (!host || !fs::is_regular_file(*host)) return false;
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((fs::status(*host).permissions() & kWrite) == fs::perms::none) return false;
  return ::unlink(host->c_str()) == 0;
}

bool HostFileService::LinkFile(const std::string& existing, const std::string& link) {
  const auto from = Resolve(existing);
  const auto to = Resolve(link);
  return from && to && ::linkat(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool HostFileService::RemoveFolder(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_directory(fs::symlink_status(*host)) && ::rmdir(host->c_str()) == 0;
}

bool HostFileService::CreateFolder(const std::string& path) {
  const auto host = Resolve(path);
  if (!host) return false;
  std::error_code error;
  fs::create_directory(*host, error);
  return fs::is_directory(*host);
}

bool HostFileService::FileExists(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_regular_file(*host);
}

bool HostFileService::FolderExists(const std::string& path) {
  const auto host = Resolve(path);
  return host && fs::is_directory(*host);
}

std::vector<std::string> HostFileService::ListFolder(const std::string& pattern) {
  const std::size_t cut = pattern.find_last_of(separators_);
  if (cut == std::string::npos) return {};
  // A pattern right below the root keeps its separator as the folder.
  const auto folder = Resolve(pattern.substr(0, cut == 0 ? 1 : cut));
  if (!folder || !fs::is_directory(*folder)) return {};
  return MatchingNames(*folder, pattern.substr(cut + 1));
}

}  // namespace quillbank
