#include "tests/support/memory_files.h"

#include <algorithm>
#include <cctype>

#include "env/platform/wildcard.h"

namespace quillbank::testing {

std::string NormalisePath(const std::string& path) {
  std::string out;
  for (char c : path) {
    c = c == '/' ? '\\' : c;
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

namespace {

std::string ParentOf(const std::string& normalised) {
  const auto slash = normalised.rfind('\\');
  if (slash == std::string::npos) return "";
  std::string parent = normalised.substr(0, slash);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';
  return parent;
}

bool IsDriveRoot(const std::string& normalised) {
  return normalised.size() <= 3 && normalised.size() >= 2 && normalised[1] == ':';
}

}  // namespace

class MemoryAppendFile final : public AppendFile {
 public:
  MemoryAppendFile(MemoryFiles& files, std::string key) : files_(files), key_(std::move(key)) {}
  bool Append(std::string_view bytes) override {
    if (closed_) return false;
    files_.AppendTo(key_, bytes);
    return true;
  }
  // Like closing a handle: only the first close succeeds.
  bool Close() override {
    if (closed_) return false;
    closed_ = true;
    return true;
  }

 private:
  MemoryFiles& files_;
  std::string key_;
  bool closed_ = false;
};

MemoryFiles::MemoryFiles() = default;

std::optional<std::string> MemoryFiles::ReadFile(const std::string& path) {
  const auto it = files_.find(NormalisePath(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.bytes;
}

FileWrite MemoryFiles::ReplaceContents(const std::string& path, std::string_view bytes) {
  ++replacements_;
  const std::string key = NormalisePath(path);
  if (!FolderExists(ParentOf(key)) || folders_.count(key)) return FileWrite::Failed;
  if (read_only_.count(key)) return FileWrite::ReadOnly;
  if (!fail_suffix_.empty() && path.size() >= fail_suffix_.size() &&
      path.compare(path.size() - fail_suffix_.size(), fail_suffix_.size(), fail_suffix_) == 0) {
    return FileWrite::Failed;
  }
  Entry& entry = files_[key];
  if (entry.path.empty()) entry.path = path;
  entry.bytes = std::string(bytes);
  return FileWrite::Written;
}

void MemoryFiles::MarkReadOnly(const std::string& path) { read_only_.insert(NormalisePath(path)); }

std::unique_ptr<AppendFile> MemoryFiles::OpenForAppend(const std::string& path) {
  const std::string key = NormalisePath(path);
  if (!FolderExists(ParentOf(key)) || folders_.count(key)) return nullptr;
  Entry& entry = files_[key];
  if (entry.path.empty()) entry.path = path;
  return std::make_unique<MemoryAppendFile>(*this, key);
}

void MemoryFiles::AppendTo(const std::string& key, std::string_view bytes) {
  files_[key].bytes.append(bytes);
}

bool MemoryFiles::DeleteFile(const std::string& path) {
  const std::string key = NormalisePath(path);
  if (read_only_.count(key)) return false;  // as DeleteFileA refuses it
  return files_.erase(key) > 0;
}

bool MemoryFiles::RemoveFolder(const std::string& path) {
  const std::string key = NormalisePath(path);
  if (!folders_.count(key)) return false;
  const std::string inside = key + "\\";
  const auto holds = [&inside](const auto& entries) {
    const auto next = entries.lower_bound(inside);
    return next != entries.end() && next->first.compare(0, inside.size(), inside) == 0;
  };
  if (holds(files_) || holds(folders_)) return false;  // not empty
  folders_.erase(key);
  return true;
}

bool MemoryFiles::CreateFolder(const std::string& path) {
  const std::string key = NormalisePath(path);
  if (FolderExists(key)) return true;
  if (files_.count(key) || !FolderExists(ParentOf(key))) return false;
  folders_[key] = path;
  return true;
}

bool MemoryFiles::FileExists(const std::string& path) { return files_.count(NormalisePath(path)) > 0; }

bool MemoryFiles::FolderExists(const std::string& path) {
  const std::string key = NormalisePath(path);
  return IsDriveRoot(key) || folders_.count(key) > 0;
}

std::vector<std::string> MemoryFiles::ListFolder(const std::string& pattern) {
  const std::string key = NormalisePath(pattern);
  const std::string folder = ParentOf(key);
  const auto slash = pattern.find_last_of("\\/");
  const std::string name_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  std::vector<std::string> names;
  auto consider = [&](const std::string& entry_key, const std::string& original) {
    if (ParentOf(entry_key) != folder) return;
    const auto cut = original.find_last_of("\\/");
    const std::string name = cut == std::string::npos ? original : original.substr(cut + 1);
    if (MatchesWildcard(name, name_pattern)) names.push_back(name);
  };
  for (const auto& [entry_key, entry] : files_) consider(entry_key, entry.path);
  for (const auto& [entry_key, original] : folders_) consider(entry_key, original);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return NormalisePath(a) < NormalisePath(b);
  });
  return names;
}

void MemoryFiles::MakeFolders(const std::string& path) {
  const std::string key = NormalisePath(path);
  if (FolderExists(key)) return;
  const std::string parent = ParentOf(key);
  if (!parent.empty() && parent != key) {
    // Rebuild the parent's original spelling from `path`.
    const auto cut = path.find_last_of("\\/");
    MakeFolders(cut == std::string::npos ? parent : path.substr(0, cut));
  }
  folders_[key] = path;
}

void MemoryFiles::Put(const std::string& path, std::string_view bytes) {
  const auto cut = path.find_last_of("\\/");
  if (cut != std::string::npos) MakeFolders(path.substr(0, cut));
  Entry& entry = files_[NormalisePath(path)];
  if (entry.path.empty()) entry.path = path;
  entry.bytes = std::string(bytes);
}

std::vector<std::string> MemoryFiles::AllFiles() const {
  std::vector<std::string> paths;
  for (const auto& [key, entry] : files_) paths.push_back(entry.path);
  return paths;
}

}  // namespace quillbank::testing
