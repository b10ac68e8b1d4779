#include "env/staged_files.h"

#include <algorithm>

#include "core/ascii_text.h"
#include "env/platform/wildcard.h"

namespace quillbank {

// The run log's lines, kept for the preview to print.
class StagedAppendFile final : public AppendFile {
 public:
  explicit StagedAppendFile(StagedFiles& files) : files_(files) {}
  bool Append(std::string_view bytes) override {
    if (closed_) return false;
    files_.appended_.append(bytes);
    return true;
  }
  bool Close() override {
    closed_ = true;
    return true;
  }

 private:
  StagedFiles& files_;
  bool closed_ = false;
};

namespace {

// Where the last component of a path begins.
std::size_t NameStart(const std::string& path, char separator) {
  const std::size_t slash = separator == '\\' ? path.find_last_of("\\/") : path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string StagedFiles::Key(const std::string& path) const {
  std::string key = path;
  if (separator_ == '\\') {
    std::replace(key.begin(), key.end(), '/', '\\');
    key = AsciiUpper(key);
  }
  while (key.size() > 1 && key.back() == separator_) key.pop_back();
  return key;
}

std::string StagedFiles::ParentKey(const std::string& path) const {
  const std::string key = Key(path);
  const std::size_t start = NameStart(key, separator_);
  return start == 0 ? std::string() : Key(key.substr(0, start - 1));
}

const StagedFiles::Staged* StagedFiles::FindFile(const std::string& path) const {
  const auto found = staged_files_.find(Key(path));
  return found == staged_files_.end() ? nullptr : &found->second;
}

const StagedFiles::Staged* StagedFiles::FindFolder(const std::string& path) const {
  const auto found = staged_folders_.find(Key(path));
  return found == staged_folders_.end() ? nullptr : &found->second;
}

std::optional<std::string> StagedFiles::ReadFile(const std::string& path) {
  if (const Staged* staged = FindFile(path)) return staged->bytes;
  return files_.ReadFile(path);
}

std::unique_ptr<AppendFile> StagedFiles::OpenForAppend(const std::string& path) {
  (void)path;
  return std::make_unique<StagedAppendFile>(*this);
}

FileWrite StagedFiles::ReplaceContents(const std::string& path, std::string_view bytes) {
  const std::string parent = ParentKey(path);
  if (!parent.empty() && !FolderExists(parent)) return FileWrite::Failed;
  Staged& staged = staged_files_[Key(path)];
  if (staged.path.empty()) staged.path = path;
  staged.bytes = std::string(bytes);
  return FileWrite::Written;
}

bool StagedFiles::DeleteFile(const std::string& path) {
  if (!FileExists(path)) return false;
  Staged& staged = staged_files_[Key(path)];
  if (staged.path.empty()) staged.path = path;
  staged.bytes.reset();
  return true;
}

bool StagedFiles::CreateFolder(const std::string& path) {
  if (FolderExists(path)) return true;
  if (FileExists(path)) return false;
  const std::string parent = ParentKey(path);
  if (!parent.empty() && !FolderExists(parent)) return false;
  staged_folders_[Key(path)] = Staged{path, std::string()};
  return true;
}

bool StagedFiles::RemoveFolder(const std::string& path) {
  if (!FolderExists(path) || HasEntries(path)) return false;
  staged_folders_[Key(path)] = Staged{path, std::nullopt};
  return true;
}

bool StagedFiles::FileExists(const std::string& path) {
  if (const Staged* staged = FindFile(path)) return staged->bytes.has_value();
  return files_.FileExists(path);
}

bool StagedFiles::FolderExists(const std::string& path) {
  if (const Staged* staged = FindFolder(path)) return staged->bytes.has_value();
  return files_.FolderExists(path);
}

bool StagedFiles::HasEntries(const std::string& folder) {
  const std::string separator(1, separator_);
  return !ListFolder(folder + separator + "*").empty();
}

std::vector<std::string> StagedFiles::ListFolder(const std::string& pattern) {
  const std::size_t start = NameStart(pattern, separator_);
  const std::string folder = start == 0 ? std::string() : pattern.substr(0, start - 1);
  const std::string wildcard = pattern.substr(start);
  const std::string folder_key = Key(folder);
  const auto in_folder = [&](const std::string& key) {
    return ParentKey(key) == folder_key;
  };
  std::vector<std::string> names;
  for (std::string& name : files_.ListFolder(pattern)) {
    const std::string path = folder + std::string(1, separator_) + name;
    const Staged* file = FindFile(path);
    const Staged* made = FindFolder(path);
    if ((file && !file->bytes) || (made && !made->bytes)) continue;
    names.push_back(std::move(name));
  }
  std::vector<std::string> added;
  for (const auto* staged : {&staged_files_, &staged_folders_}) {
    for (const auto& [key, entry] : *staged) {
      if (!entry.bytes || !in_folder(key)) continue;
      const std::string name = entry.path.substr(NameStart(entry.path, separator_));
      if (!MatchesWildcard(name, wildcard)) continue;
      const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
        return Key(n) == Key(name);
      });
      if (!listed) added.push_back(name);
    }
  }
  std::sort(added.begin(), added.end(), [&](const std::string& a, const std::string& b) {
    return Key(a) < Key(b);
  });
  names.insert(names.end(), added.begin(), added.end());
  return names;
}

}  // namespace quillbank
