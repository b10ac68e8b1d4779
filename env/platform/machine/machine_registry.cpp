#include "env/platform/machine/machine_registry.h"

#include <optional>

#include "env/platform/posix/host_files.h"

namespace quillbank {

namespace fs = std::filesystem;

bool MachineRegistry::Load(const fs::path& folder, std::string& error) {
  hives_[0].path = folder / "user.reg";
  hives_[0].root = RegRoot::CurrentUser;
  hives_[1].path = folder / "system.reg";
  hives_[1].root = RegRoot::LocalMachine;
  for (HiveFile& hive : hives_) {
    if (!LoadHive(hive, error)) return false;
  }
  tree_->OnChange([this](RegRoot root) {
    hives_[root == RegRoot::CurrentUser ? 0 : 1].changed = true;
  });
  return true;
}

// Reading a hive is quick, parsing a large one is not: when neither file
// changed since it was read and the run changed nothing yet, what was parsed
// stands.
bool MachineRegistry::Reload(const fs::path& folder, std::string& error) {
  if (Unchanged()) return true;
  tree_ = std::make_unique<MemoryRegistry>(Windows1252());
  for (HiveFile& hive : hives_) hive = HiveFile();
  return Load(folder, error);
}

bool MachineRegistry::Unchanged() const {
  for (const HiveFile& hive : hives_) {
    if (hive.changed) return false;
    if (!HostFileHolds(hive.path, hive.OnDisk())) return false;
  }
  return true;
}

bool MachineRegistry::LoadHive(HiveFile& hive, std::string& error) {
  std::optional<std::string> text = ReadHostFile(hive.path);
  if (!text) {
    error = "cannot read " + hive.path.string();
    return false;
  }
  std::string problem;
  if (!hive.model.Load(std::move(*text), tree_->RootNode(hive.root), problem)) {
    error = hive.path.string() + ": " + problem;
    return false;
  }
  return true;
}

long MachineRegistry::Open(RegRoot root, std::string_view path, RegAccess access,
                           std::unique_ptr<RegistryKey>& key) {
  return tree_->Open(root, path, access, key);
}

long MachineRegistry::Create(RegRoot root, std::string_view path,
                             std::unique_ptr<RegistryKey>& key) {
  return tree_->Create(root, path, key);
}

long MachineRegistry::DeleteKey(RegRoot root, std::string_view path) {
  return tree_->DeleteKey(root, path);
}

// Writes each hive the run changed, once.
long MachineRegistry::Commit() {
  std::vector<PendingWrite> pending = ChangedTexts();
  if (!WriteAllOrNone(pending)) return win32_error::kCantWrite;
  for (auto& [hive, text] : pending) hive->written = std::move(text);
  for (HiveFile& hive : hives_) hive.changed = false;
  return win32_error::kSuccess;
}

// The new text of each hive the run changed, when it differs from the file's.
std::vector<MachineRegistry::PendingWrite> MachineRegistry::ChangedTexts() {
  const long long stamp = KeyStampNow();
  std::vector<PendingWrite> pending;
  for (HiveFile& hive : hives_) {
    if (!hive.changed) continue;
    std::string text = hive.model.Render(tree_->RootNode(hive.root), stamp);
    if (text != hive.OnDisk()) pending.emplace_back(&hive, std::move(text));
  }
  return pending;
}

// When a later hive cannot be written, the ones written before it get their
// old text back, so the run's changes reach the disk together or not at all.
bool MachineRegistry::WriteAllOrNone(const std::vector<PendingWrite>& pending) {
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (write_(pending[i].first->path.string(), pending[i].second)) continue;
    for (std::size_t k = 0; k < i; ++k) {
      (void)write_(pending[k].first->path.string(), pending[k].first->OnDisk());
    }
    return false;
  }
  return true;
}

}  // namespace quillbank
