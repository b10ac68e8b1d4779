// The two services besides files and the registry through which a run acts
// on the system: ending a mail client and MAPI's profile administration.
// For a preview they do nothing and note what they were asked to do; every
// read still reaches the system, so the run takes the same steps.
#pragma once

#include <memory>
#include <string>
#include <vector>

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
class PreviewMapi final : public MapiAdmin {
 public:
  PreviewMapi(MapiAdmin& mapi, PreviewNotes& notes) : mapi_(mapi), notes_(notes) {}

  MapiResult Initialize() override { return mapi_.Initialize(); }
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override;
  MapiResult LogonEx(const std::string& profile, std::unique_ptr<MapiSession>& session) override {
    return mapi_.LogonEx(profile, session);
  }
  void Uninitialize() override { mapi_.Uninitialize(); }

 private:
  MapiAdmin& mapi_;
  PreviewNotes& notes_;
};

}  // namespace quillbank
