#include "env/change_record.h"

#include <algorithm>
#include <utility>

namespace quillbank {
namespace {

using Kind = StoreChange::Kind;
using Action = StoreChange::Action;

std::string KeyName(RegRoot root, std::string_view path) {
  std::string name = RootName(root) + "\\" + std::string(path);
  while (!name.empty() && name.back() == '\\') name.pop_back();
  return name;
}

// An open key that notes the values set or removed through it as a change
// of the key.
class RecordingKey final : public ForwardingKey {
 public:
  RecordingKey(std::unique_ptr<RegistryKey> key, std::string name, ChangeRecord& record)
      : ForwardingKey(std::move(key)), name_(std::move(name)), record_(record) {}

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    return Noted(key_->SetValue(name, type, data));
  }
  long DeleteValue(std::string_view name) override { return Noted(key_->DeleteValue(name)); }

 private:
  long Noted(long result) {
    if (result == win32_error::kSuccess) record_.Note(name_, Kind::Registry, Action::Replace);
    return result;
  }

  std::string name_;
  ChangeRecord& record_;
};

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::File:
      return "file";
    case Kind::Registry:
      return "registry";
    case Kind::Setting:
      return "gsettings";
  }
  return "";
}

const char* ActionName(Action action) {
  switch (action) {
    case Action::Create:
      return "create";
    case Action::Replace:
      return "replace";
    case Action::Delete:
      return "delete";
  }
  return "";
}

std::string RootName(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "";
}

void ChangeRecord::Note(std::string store, Kind kind, Action action) {
  const auto found = std::find_if(changes_.begin(), changes_.end(), [&](const StoreChange& c) {
    return c.kind == kind && c.store == store;
  });
  if (found == changes_.end()) {
    changes_.push_back({std::move(store), kind, action});
  } else if (action == Action::Delete && found->action == Action::Create) {
    changes_.erase(found);  // made and taken away again: no change
  } else if (action == Action::Delete) {
    found->action = Action::Delete;
  }
}

FileWrite RecordingFiles::Noted(const std::string& path, bool existed, FileWrite result) {
  if (result == FileWrite::Written) {
    record_.Note(path, Kind::File, existed ? Action::Replace : Action::Create);
  }
  return result;
}

FileWrite RecordingFiles::ReplaceContents(const std::string& path, std::string_view bytes) {
  const bool existed = files_.FileExists(path);
  return Noted(path, existed, files_.ReplaceContents(path, bytes));
}

FileWrite RecordingFiles::ReplaceContentsInPieces(const std::string& path,
                                                  const std::vector<std::string_view>& pieces) {
  const bool existed = files_.FileExists(path);
  return Noted(path, existed, files_.ReplaceContentsInPieces(path, pieces));
}

bool RecordingFiles::DeleteFile(const std::string& path) {
  const bool deleted = files_.DeleteFile(path);
  if (deleted) record_.Note(path, Kind::File, Action::Delete);
  return deleted;
}

bool RecordingFiles::CreateFolder(const std::string& path) {
  const bool existed = files_.FolderExists(path);
  const bool exists = files_.CreateFolder(path);
  if (exists && !existed) record_.Note(path, Kind::File, Action::Create);
  return exists;
}

bool RecordingFiles::RemoveFolder(const std::string& path) {
  const bool removed = files_.RemoveFolder(path);
  if (removed) record_.Note(path, Kind::File, Action::Delete);
  return removed;
}

long RecordingRegistry::Open(RegRoot root, std::string_view path, RegAccess access,
                             std::unique_ptr<RegistryKey>& key) {
  std::unique_ptr<RegistryKey> opened;
  const long result = registry_.Open(root, path, access, opened);
  if (result == win32_error::kSuccess) {
    key = std::make_unique<RecordingKey>(std::move(opened), KeyName(root, path), record_);
  }
  return result;
}

long RecordingRegistry::Create(RegRoot root, std::string_view path,
                               std::unique_ptr<RegistryKey>& key) {
  std::unique_ptr<RegistryKey> probe;
  const bool existed = registry_.Open(root, path, RegAccess::Read, probe) == win32_error::kSuccess;
  probe.reset();
  std::unique_ptr<RegistryKey> created;
  const long result = registry_.Create(root, path, created);
  if (result != win32_error::kSuccess) return result;
  const std::string name = KeyName(root, path);
  if (!existed) record_.Note(name, Kind::Registry, Action::Create);
  key = std::make_unique<RecordingKey>(std::move(created), name, record_);
  return result;
}

long RecordingRegistry::DeleteKey(RegRoot root, std::string_view path) {
  const long result = registry_.DeleteKey(root, path);
  if (result == win32_error::kSuccess) {
    record_.Note(KeyName(root, path), Kind::Registry, Action::Delete);
  }
  return result;
}

bool RecordingSettings::Set(const SettingKey& key, const std::string& value) {
  const bool set = settings_.Set(key, value);
  if (set) record_.Note(key.schema + " " + key.key, Kind::Setting, Action::Replace);
  return set;
}

RecordingServices::RecordingServices(Platform& platform, ChangeRecord& record)
    : files_(platform.files, record),
      registry_(platform.registry, record),
      settings_(platform.settings
                    ? std::make_optional<RecordingSettings>(*platform.settings, record)
                    : std::nullopt),
      platform_(Rewired(platform, registry_, files_, platform.processes, platform.mapi,
                        settings_ ? &*settings_ : nullptr)) {}

}  // namespace quillbank
