// The registry of the machine folder: user.reg (HKEY_CURRENT_USER) and
// system.reg (HKEY_LOCAL_MACHINE) in memory, changed by the run and written
// when it commits.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "env/platform/machine/machine_folder.h"
#include "env/platform/machine/registry_hive.h"
#include "env/platform/registry_tree.h"

namespace quillbank {

// Until the commit nothing on disk changes, so a run that fails or is killed
// part-way leaves the hives as they were.
class MachineRegistry final : public Registry {
 public:
  explicit MachineRegistry(HostFileWriter write) : write_(std::move(write)) {}

  // Reads both hives of `folder`; false, with the reason in `error`, when one
  // cannot be read or is no hive.
  [[nodiscard]] bool Load(const std::filesystem::path& folder, std::string& error);
  // Drops what was read and reads the hives again, unless neither file nor
  // the tree changed since.
  [[nodiscard]] bool Reload(const std::filesystem::path& folder, std::string& error);

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;
  long DeleteKey(RegRoot root, std::string_view path) override;
  long Commit() override;

 private:
  struct HiveFile {
    std::filesystem::path path;
    RegRoot root = RegRoot::CurrentUser;
    RegistryHive model;  // holds the file's text as read
    std::optional<std::string> written;  // the text written since, if any
    bool changed = false;
    // The file's text as last read or written.
    [[nodiscard]] const std::string& OnDisk() const { return written ? *written : model.Text(); }
  };
  using PendingWrite = std::pair<HiveFile*, std::string>;

  [[nodiscard]] bool LoadHive(HiveFile& hive, std::string& error);
  // True when both hive files still hold the text last read and the run has
  // not changed the tree.
  [[nodiscard]] bool Unchanged() const;
  [[nodiscard]] std::vector<PendingWrite> ChangedTexts();
  [[nodiscard]] bool WriteAllOrNone(const std::vector<PendingWrite>& pending);

  HostFileWriter write_;
  std::unique_ptr<MemoryRegistry> tree_ = std::make_unique<MemoryRegistry>(Windows1252());
  HiveFile hives_[2];
};

}  // namespace quillbank
