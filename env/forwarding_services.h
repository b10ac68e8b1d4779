// Services that pass every call on to the same service beneath them: the
// bases of the services a run goes through (recording, journaling, staging),
// each overriding only the calls that change something.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "env/platform/mapi.h"
#include "env/platform/platform.h"

namespace quillbank {

class ForwardingFiles : public Files {
 public:
  explicit ForwardingFiles(Files& files) : files_(files) {}

  std::optional<std::string> ReadFile(const std::string& path) override {
    return files_.ReadFile(path);
  }
  std::unique_ptr<FileView> ViewFile(const std::string& path) override {
    return files_.ViewFile(path);
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    return files_.OpenForAppend(path);
  }
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    return files_.ReplaceContents(path, bytes);
  }
  FileWrite ReplaceContentsInPieces(const std::string& path,
                                    const std::vector<std::string_view>& pieces) override {
    return files_.ReplaceContentsInPieces(path, pieces);
  }
  bool DeleteFile(const std::string& path) override { return files_.DeleteFile(path); }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    return files_.LinkFile(existing, link);
  }
  bool CreateFolder(const std::string& path) override { return files_.CreateFolder(path); }
  bool RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }
  bool FileExists(const std::string& path) override { return files_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return files_.FolderExists(path); }
  std::vector<std::string> ListFolder(const std::string& pattern) override {
    return files_.ListFolder(pattern);
  }

 protected:
  Files& files_;
};

// An open registry key.
class ForwardingKey : public RegistryKey {
 public:
  explicit ForwardingKey(std::unique_ptr<RegistryKey> key) : key_(std::move(key)) {}

  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    return key_->QueryValue(name, capacity, out);
  }
  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    return key_->SetValue(name, type, data);
  }
  long DeleteValue(std::string_view name) override { return key_->DeleteValue(name); }
  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    return key_->EnumKey(index, capacity, name);
  }
  long QuerySubkeyCount(std::uint32_t& count) override { return key_->QuerySubkeyCount(count); }

 protected:
  std::unique_ptr<RegistryKey> key_;
};

class ForwardingMapi : public MapiAdmin {
 public:
  explicit ForwardingMapi(MapiAdmin& mapi) : mapi_(mapi) {}

  MapiResult Initialize() override { return mapi_.Initialize(); }
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override {
    return mapi_.AdminProfiles(admin);
  }
  MapiResult LogonEx(const std::string& profile, std::unique_ptr<MapiSession>& session) override {
    return mapi_.LogonEx(profile, session);
  }
  void Uninitialize() override { mapi_.Uninitialize(); }

 protected:
  MapiAdmin& mapi_;
};

class ForwardingSettings : public DesktopSettings {
 public:
  explicit ForwardingSettings(DesktopSettings& settings) : settings_(settings) {}

  bool CanSave() override { return settings_.CanSave(); }
  std::optional<std::string> Get(const SettingKey& key) override { return settings_.Get(key); }
  bool Set(const SettingKey& key, const std::string& value) override {
    return settings_.Set(key, value);
  }

 protected:
  DesktopSettings& settings_;
};

// The platform with the services a wrapping layer puts in place of its own;
// environment, clock, uuids, code page, user space and run lock stay.
inline Platform Rewired(const Platform& base, Registry& registry, Files& files,
                        Processes& processes, MapiAdmin* mapi, DesktopSettings* settings) {
  return Platform{registry,  files,     base.environment, processes,
                  base.clock, base.uuids, base.code_page,  base.user,
                  mapi,       base.run_lock, settings};
}

}  // namespace quillbank
