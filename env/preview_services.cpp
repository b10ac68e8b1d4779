#include "env/preview_services.h"

namespace quillbank {
namespace {

class PreviewServiceAdmin final : public MapiServiceAdmin {
 public:
  PreviewServiceAdmin(std::string profile, PreviewNotes& notes)
      : profile_(std::move(profile)), notes_(notes) {}
  MapiResult CreateMsgService(const std::string& service,
                              const std::string& display_name) override {
    notes_.push_back("Would add the MAPI service " + service + " named \"" + display_name +
                     "\" to the profile \"" + profile_ + "\".");
    return mapi_result::kOk;
  }

 private:
  std::string profile_;
  PreviewNotes& notes_;
};

class PreviewProfileAdmin final : public MapiProfileAdmin {
 public:
  explicit PreviewProfileAdmin(PreviewNotes& notes) : notes_(notes) {}
  MapiResult AdminServices(const std::string& profile,
                           std::unique_ptr<MapiServiceAdmin>& admin) override {
    admin = std::make_unique<PreviewServiceAdmin>(profile, notes_);
    return mapi_result::kOk;
  }

 private:
  PreviewNotes& notes_;
};

}  // namespace

std::vector<ProcessEntry> PreviewProcesses::List() {
  listed_ = processes_.List();
  return listed_;
}

bool PreviewProcesses::Terminate(std::uint32_t id) {
  std::string name = "a process";
  for (const ProcessEntry& entry : listed_) {
    if (entry.id == id) name = entry.executable;
  }
  notes_.push_back("Would close " + name + " (process " + std::to_string(id) + ").");
  return true;
}

bool PreviewProcesses::WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) {
  (void)id;
  (void)timeout_ms;
  return true;
}

bool PreviewProcesses::Start(const std::string& command_line) {
  notes_.push_back("Would start " + command_line + ".");
  return true;
}

MapiResult PreviewMapi::AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) {
  // The profile administration is asked for only to add a service; a
  // preview hands out its own, which notes the service.
  std::unique_ptr<MapiProfileAdmin> real;
  const MapiResult result = mapi_.AdminProfiles(real);
  if (MapiFailed(result)) return result;
  admin = std::make_unique<PreviewProfileAdmin>(notes_);
  return result;
}

StagedSetting* StagedSettings::Find(const SettingKey& key) {
  for (StagedSetting& setting : staged_) {
    if (setting.key.schema == key.schema && setting.key.key == key.key) return &setting;
  }
  return nullptr;
}

std::optional<std::string> StagedSettings::Get(const SettingKey& key) {
  if (const StagedSetting* setting = Find(key)) return setting->after;
  return settings_.Get(key);
}

bool StagedSettings::Set(const SettingKey& key, const std::string& value) {
  if (StagedSetting* setting = Find(key)) {
    setting->after = value;
  } else {
    staged_.push_back({key, settings_.Get(key), value});
  }
  return true;
}

}  // namespace quillbank
