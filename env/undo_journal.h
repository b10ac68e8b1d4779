// The undo journal: before a run changes anything it notes, in a journal
// folder of its own, what each file, folder, registry key and value was
// before (or that it did not exist) and a hash of what the run is about to
// make of it; a desktop setting, small as it is, is noted as it is. Each entry is appended and flushed before the change it
// describes, so a run killed half-way leaves a journal that covers every
// change it made. Undo (env/undo.h) takes the newest journal and puts every
// item back.
//
// A journal is a folder below the journals' folder, numbered in the order
// runs made them, holding "journal.jsonl" (one JSON object a line) and one
// "<n>.before" file per file that existed before the run.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "env/forwarding_services.h"
#include "env/platform/mapi.h"
#include "env/platform/platform.h"

namespace quillbank {

// How many journals are kept, and how much their before-images may take
// together; older journals go first.
inline constexpr std::size_t kJournalsKept = 20;
inline constexpr std::uint64_t kJournalBytesKept = 256ull * 1024 * 1024;

// Where the journals are kept: the program's state folder where the system
// has one, else Quillbank\undo in the user's local application data.
[[nodiscard]] std::optional<std::string> JournalsFolder(Platform& platform);

// Writes one run's journal; made on the first change, so a run that changes
// nothing leaves no journal.
class JournalWriter {
 public:
  JournalWriter(Platform& platform, std::string journals_folder)
      : platform_(platform), journals_(std::move(journals_folder)) {}

  // Notes a file before it is replaced or removed; `after` is what it will
  // hold (none: removed). False when the note could not be written, and then
  // the change must not be made.
  bool NoteFile(const std::string& path, const std::optional<std::string_view>& after,
                const std::vector<std::string_view>* after_pieces = nullptr);
  bool NoteFolder(const std::string& path, bool after_exists);
  bool NoteKeyCreated(RegRoot root, const std::string& path);
  bool NoteValue(RegRoot root, const std::string& path, const std::string& name,
                 const std::optional<RegValue>& after);
  bool NoteMapiService(const std::string& profile, const std::string& service);
  // A desktop setting, with its value before (none: unreadable) and after.
  bool NoteSetting(const SettingKey& key, const std::string& after);

  // Ends the run: a run that failed put back what it changed, so its journal
  // goes; a run that succeeded keeps it, and the oldest journals beyond the
  // limits go.
  void Finish(bool succeeded);

 private:
  bool Begin();
  bool Append(const std::string& line);

  Platform& platform_;
  std::string journals_;
  std::string folder_;  // this run's journal, once begun
  std::unique_ptr<AppendFile> file_;
  std::set<std::string> noted_;  // items whose before-image is in the journal
  int images_ = 0;
  bool failed_ = false;
};

// Files, registry and MAPI that note each change in the journal before they
// pass it on.
class JournalingFiles final : public ForwardingFiles {
 public:
  JournalingFiles(Files& files, JournalWriter& journal) : ForwardingFiles(files), journal_(journal) {}
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override;
  FileWrite ReplaceContentsInPieces(const std::string& path,
                                    const std::vector<std::string_view>& pieces) override;
  bool DeleteFile(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;

 private:
  JournalWriter& journal_;
};

class JournalingRegistry final : public Registry {
 public:
  JournalingRegistry(Registry& registry, JournalWriter& journal)
      : registry_(registry), journal_(journal) {}
  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;
  long DeleteKey(RegRoot root, std::string_view path) override;
  long Commit() override { return registry_.Commit(); }

 private:
  Registry& registry_;
  JournalWriter& journal_;
};

class JournalingMapi final : public ForwardingMapi {
 public:
  JournalingMapi(MapiAdmin& mapi, JournalWriter& journal) : ForwardingMapi(mapi), journal_(journal) {}
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override;

 private:
  JournalWriter& journal_;
};

class JournalingSettings final : public ForwardingSettings {
 public:
  JournalingSettings(DesktopSettings& settings, JournalWriter& journal)
      : ForwardingSettings(settings), journal_(journal) {}
  bool Set(const SettingKey& key, const std::string& value) override {
    return journal_.NoteSetting(key, value) && settings_.Set(key, value);
  }

 private:
  JournalWriter& journal_;
};

// The platform's services with each change noted in the journal before it
// is passed on; every other service is the platform's own.
class JournalingServices {
 public:
  JournalingServices(Platform& platform, JournalWriter& journal);
  Platform& platform() { return platform_; }

 private:
  JournalingFiles files_;
  JournalingRegistry registry_;
  std::optional<JournalingMapi> mapi_;
  std::optional<JournalingSettings> settings_;
  Platform platform_;
};

}  // namespace quillbank
