// The services besides files and the registry through which a run acts on
// the system: ending a mail client, MAPI's profile administration and the
// desktop's settings. For a preview they do nothing and note what they were
// asked to do; every read still reaches the system (or, for a setting the
// run changed, sees the change), so the run takes the same steps.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "env/forwarding_services.h"
#include "env/platform/mapi.h"
#include "env/platform/platform.h"

namespace quillbank {

// What a preview would have done beyond its file and registry changes, one
// line each ("Would close thunderbird.exe (process 812).").
using PreviewNotes = std::vector<std::string>;

class PreviewProcesses final : public Processes {
 public:
  PreviewProcesses(Processes& processes, PreviewNotes& notes)
      : processes_(processes), notes_(notes) {}

  std::vector<ProcessEntry> List() override;
  // Notes the process and reports it ended.
  bool Terminate(std::uint32_t id) override;
  bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) override;
  bool Start(const std::string& command_line) override;

 private:
  Processes& processes_;
  PreviewNotes& notes_;
  std::vector<ProcessEntry> listed_;
};

// MAPI as far as it only looks (initialising, logging on); the service a run
// would add to a profile is noted instead of created.
class PreviewMapi final : public ForwardingMapi {
 public:
  PreviewMapi(MapiAdmin& mapi, PreviewNotes& notes) : ForwardingMapi(mapi), notes_(notes) {}
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override;

 private:
  PreviewNotes& notes_;
};

// One desktop setting a preview changed: what the store held (none: it
// could not be read) and what the run set.
struct StagedSetting {
  SettingKey key;
  std::optional<std::string> before;
  std::string after;
};

class StagedSettings final : public ForwardingSettings {
 public:
  explicit StagedSettings(DesktopSettings& settings) : ForwardingSettings(settings) {}

  std::optional<std::string> Get(const SettingKey& key) override;
  // Kept here; the store is not asked.
  bool Set(const SettingKey& key, const std::string& value) override;
  // The settings changed, in the order first set.
  [[nodiscard]] const std::vector<StagedSetting>& staged() const { return staged_; }

 private:
  StagedSetting* Find(const SettingKey& key);

  std::vector<StagedSetting> staged_;
};

}  // namespace quillbank
