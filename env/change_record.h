// What one run changed, seen at the doors every change passes: the files
// service (a file replaced, created or removed, a folder made or removed),
// the registry (a key created or removed, a value set or removed) and the
// desktop's settings (a key set). The
// recording services pass each call on to the system's own and note what it
// changed, in the order it was first changed. The run log is not a store and
// is not noted.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/forwarding_services.h"
#include "env/platform/platform.h"

namespace quillbank {

struct StoreChange {
  enum class Kind { File, Registry, Setting };
  enum class Action { Create, Replace, Delete };
  // A file's or folder's path, a key as "HKEY_CURRENT_USER\...", or a
  // setting as gsettings names it: "<schema> <key>".
  std::string store;
  Kind kind;
  Action action;
};

[[nodiscard]] const char* KindName(StoreChange::Kind kind);
[[nodiscard]] const char* ActionName(StoreChange::Action action);

class ChangeRecord {
 public:
  // Notes a change of `store`; a store already noted keeps its first action,
  // except that removing what the run created forgets it again.
  void Note(std::string store, StoreChange::Kind kind, StoreChange::Action action);
  [[nodiscard]] const std::vector<StoreChange>& changes() const { return changes_; }

 private:
  std::vector<StoreChange> changes_;
};

// The registry's root as regedit writes it: "HKEY_CURRENT_USER".
[[nodiscard]] std::string RootName(RegRoot root);

class RecordingFiles final : public ForwardingFiles {
 public:
  RecordingFiles(Files& files, ChangeRecord& record) : ForwardingFiles(files), record_(record) {}

  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override;
  FileWrite ReplaceContentsInPieces(const std::string& path,
                                    const std::vector<std::string_view>& pieces) override;
  bool DeleteFile(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;

 private:
  FileWrite Noted(const std::string& path, bool existed, FileWrite result);

  ChangeRecord& record_;
};

class RecordingRegistry final : public Registry {
 public:
  RecordingRegistry(Registry& registry, ChangeRecord& record)
      : registry_(registry), record_(record) {}

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;
  long DeleteKey(RegRoot root, std::string_view path) override;
  long Commit() override { return registry_.Commit(); }

 private:
  Registry& registry_;
  ChangeRecord& record_;
};

class RecordingSettings final : public ForwardingSettings {
 public:
  RecordingSettings(DesktopSettings& settings, ChangeRecord& record)
      : ForwardingSettings(settings), record_(record) {}

  bool Set(const SettingKey& key, const std::string& value) override;

 private:
  ChangeRecord& record_;
};

// The platform's services with each change of a file, the registry or a
// desktop setting noted in the record; every other service is the
// platform's own.
class RecordingServices {
 public:
  RecordingServices(Platform& platform, ChangeRecord& record);
  Platform& platform() { return platform_; }

 private:
  RecordingFiles files_;
  RecordingRegistry registry_;
  std::optional<RecordingSettings> settings_;
  Platform platform_;
};

}  // namespace quillbank
