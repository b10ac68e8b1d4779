#include "env/undo_journal.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "env/app_data.h"
#include "env/change_record.h"
#include "env/journal_format.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

using Json = nlohmann::json;
using namespace journal;

Json ValueJson(const std::optional<RegValue>& value) {
  if (!value) return nullptr;
  return Json{{"type", value->type}, {"data", Hex(BytesOf(value->data))}};
}

// Makes every missing folder of `path`, one level at a time.
bool MakeFolders(Files& files, const std::string& path, char separator) {
  std::string made;
  std::size_t start = 0;
  if (!path.empty() && path[0] == separator) made = std::string(1, separator), start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find(separator, start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (!part.empty()) {
      made += (made.empty() || made.back() == separator ? "" : std::string(1, separator)) + part;
      if (!files.CreateFolder(made)) return false;
    }
    start = end + 1;
  }
  return true;
}

std::uint64_t ImageBytes(Files& files, const std::string& journal, char separator) {
  std::uint64_t total = 0;
  const std::optional<std::string> lines = files.ReadFile(journal + separator + kJournalFile);
  if (!lines) return 0;
  std::size_t start = 0;
  while (start < lines->size()) {
    std::size_t end = lines->find('\n', start);
    if (end == std::string::npos) end = lines->size();
    const Json entry = Json::parse(lines->substr(start, end - start), nullptr, false);
    if (entry.is_object() && entry.contains("size")) total += entry["size"].get<std::uint64_t>();
    start = end + 1;
  }
  return total;
}

}  // namespace

std::optional<std::string> JournalsFolder(Platform& platform) {
  if (std::optional<std::string> state = platform.user.StateFolder()) {
    return JoinPath(platform, *state, "undo");
  }
  std::optional<std::string> local = platform.environment.Get("LOCALAPPDATA");
  if (!local || local->empty()) local = AppDataFolder(platform);
  if (!local || local->empty()) return std::nullopt;
  while (local->size() > 1 && (local->back() == '\\' || local->back() == '/')) local->pop_back();
  return JoinPath(platform, JoinPath(platform, *local, "Quillbank"), "undo");
}

// ------------------------------------------------------------------ writer

bool JournalWriter::Begin() {
  if (file_) return true;
  if (failed_) return false;
  failed_ = true;  // until it is begun
  const char separator = PathSeparator(platform_);
  if (!MakeFolders(platform_.files, journals_, separator)) return false;
  const std::vector<std::string> names = JournalNames(platform_.files, journals_, separator);
  const long next = names.empty() ? 1 : std::stol(names.back()) + 1;
  char name[24];
  std::snprintf(name, sizeof name, "%08ld", next);
  folder_ = JoinPath(platform_, journals_, name);
  if (!platform_.files.CreateFolder(folder_)) return false;
  file_ = platform_.files.OpenForAppend(JoinPath(platform_, folder_, kJournalFile));
  if (!file_) return false;
  failed_ = false;
  return Append(Json{{"journal", 1}}.dump());
}

bool JournalWriter::Append(const std::string& line) {
  if (!file_ || !file_->Append(line + "\n")) {
    failed_ = true;
    return false;
  }
  return true;
}

bool JournalWriter::NoteFile(const std::string& path, const std::optional<std::string_view>& after,
                             const std::vector<std::string_view>* after_pieces) {
  if (!Begin()) return false;
  Json entry{{"file", path}};
  if (noted_.insert("file:" + path).second) {
    entry["before"] = nullptr;
    if (const std::unique_ptr<FileView> old = platform_.files.ViewFile(path)) {
      // The file's own bytes, as a second name where the system allows: the
      // replacement puts a new file in its place and leaves this one as it
      // is. Elsewhere a copy, written and flushed like any store.
      const std::string image = std::to_string(++images_) + ".before";
      const std::string image_path = JoinPath(platform_, folder_, image);
      if (!platform_.files.LinkFile(path, image_path) &&
          platform_.files.ReplaceContents(image_path, old->bytes()) != FileWrite::Written) {
        return false;
      }
      entry["before"] = image;
      entry["size"] = old->bytes().size();
    }
  }
  if (after_pieces) {
    Hash hash;
    for (const std::string_view piece : *after_pieces) hash.Add(piece);
    entry["after"] = hash.Text();
  } else {
    entry["after"] = after ? Json(HashOf(*after)) : Json(nullptr);
  }
  return Append(entry.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool JournalWriter::NoteFolder(const std::string& path, bool after_exists) {
  if (!Begin()) return false;
  Json entry{{"folder", path}, {"after", after_exists}};
  if (noted_.insert("folder:" + path).second) entry["before"] = platform_.files.FolderExists(path);
  return Append(entry.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool JournalWriter::NoteKeyCreated(RegRoot root, const std::string& path) {
  if (!Begin()) return false;
  return Append(Json{{"key", path}, {"root", RootName(root)}, {"before", false}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

bool JournalWriter::NoteValue(RegRoot root, const std::string& path, const std::string& name,
                              const std::optional<RegValue>& after) {
  if (!Begin()) return false;
  Json entry{{"key", path}, {"root", RootName(root)}, {"value", name}};
  if (noted_.insert("value:" + RootName(root) + "\\" + path + "\\" + name).second) {
    std::optional<RegValue> before;
    std::unique_ptr<RegistryKey> key;
    RegValue value;
    if (platform_.registry.Open(root, path, RegAccess::Read, key) == win32_error::kSuccess &&
        QueryWholeValue(*key, name, value) == win32_error::kSuccess) {
      before = value;
    }
    entry["before"] = ValueJson(before);
  }
  entry["after"] = after ? Json(ValueHash(*after)) : Json(nullptr);
  return Append(entry.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool JournalWriter::NoteMapiService(const std::string& profile, const std::string& service) {
  if (!Begin()) return false;
  return Append(Json{{"mapi", profile}, {"service", service}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

bool JournalWriter::NoteSetting(const SettingKey& key, const std::string& after) {
  if (!Begin()) return false;
  Json entry{{"setting", key.schema}, {"key", key.key}, {"after", after}};
  if (noted_.insert("setting:" + key.schema + " " + key.key).second) {
    const std::optional<std::string> before =
        platform_.settings ? platform_.settings->Get(key) : std::nullopt;
    entry["before"] = before ? Json(*before) : Json(nullptr);
  }
  return Append(entry.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void JournalWriter::Finish(bool succeeded) {
  if (!file_) return;
  file_->Close();
  file_.reset();
  const char separator = PathSeparator(platform_);
  if (!succeeded) {
    RemoveJournal(platform_.files, folder_, separator);
    return;
  }
  std::vector<std::string> names = JournalNames(platform_.files, journals_, separator);
  std::uint64_t total = 0;
  std::vector<std::uint64_t> sizes;
  for (const std::string& name : names) {
    sizes.push_back(ImageBytes(platform_.files, JoinPath(platform_, journals_, name), separator));
    total += sizes.back();
  }
  // The newest journal (this run's) always stays.
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    if (names.size() - i <= kJournalsKept && total <= kJournalBytesKept) break;
    RemoveJournal(platform_.files, JoinPath(platform_, journals_, names[i]), separator);
    total -= sizes[i];
  }
}

// ------------------------------------------------------------- the wrappers

FileWrite JournalingFiles::ReplaceContents(const std::string& path, std::string_view bytes) {
  if (!journal_.NoteFile(path, bytes)) return FileWrite::Failed;
  return files_.ReplaceContents(path, bytes);
}

FileWrite JournalingFiles::ReplaceContentsInPieces(const std::string& path,
                                                   const std::vector<std::string_view>& pieces) {
  if (!journal_.NoteFile(path, std::string_view(), &pieces)) return FileWrite::Failed;
  return files_.ReplaceContentsInPieces(path, pieces);
}

bool JournalingFiles::DeleteFile(const std::string& path) {
  if (!files_.FileExists(path)) return files_.DeleteFile(path);
  if (!journal_.NoteFile(path, std::nullopt)) return false;
  return files_.DeleteFile(path);
}

bool JournalingFiles::CreateFolder(const std::string& path) {
  if (files_.FolderExists(path)) return true;
  if (!journal_.NoteFolder(path, true)) return false;
  return files_.CreateFolder(path);
}

bool JournalingFiles::RemoveFolder(const std::string& path) {
  if (!files_.FolderExists(path)) return files_.RemoveFolder(path);
  if (!journal_.NoteFolder(path, false)) return false;
  return files_.RemoveFolder(path);
}

namespace {

class JournalingKey final : public ForwardingKey {
 public:
  JournalingKey(std::unique_ptr<RegistryKey> key, RegRoot root, std::string path,
                JournalWriter& journal)
      : ForwardingKey(std::move(key)), root_(root), path_(std::move(path)), journal_(journal) {}

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    if (!journal_.NoteValue(root_, path_, std::string(name), RegValue{type, data})) {
      return win32_error::kCantWrite;
    }
    return key_->SetValue(name, type, data);
  }
  long DeleteValue(std::string_view name) override {
    RegValue current;
    if (QueryWholeValue(*key_, name, current) != win32_error::kSuccess) {
      return key_->DeleteValue(name);
    }
    if (!journal_.NoteValue(root_, path_, std::string(name), std::nullopt)) {
      return win32_error::kCantWrite;
    }
    return key_->DeleteValue(name);
  }

 private:
  RegRoot root_;
  std::string path_;
  JournalWriter& journal_;
};

class JournalingServiceAdmin final : public MapiServiceAdmin {
 public:
  JournalingServiceAdmin(std::unique_ptr<MapiServiceAdmin> admin, std::string profile,
                         JournalWriter& journal)
      : admin_(std::move(admin)), profile_(std::move(profile)), journal_(journal) {}
  MapiResult CreateMsgService(const std::string& service,
                              const std::string& display_name) override {
    if (!journal_.NoteMapiService(profile_, service)) return mapi_result::kFail;
    return admin_->CreateMsgService(service, display_name);
  }

 private:
  std::unique_ptr<MapiServiceAdmin> admin_;
  std::string profile_;
  JournalWriter& journal_;
};

class JournalingProfileAdmin final : public MapiProfileAdmin {
 public:
  JournalingProfileAdmin(std::unique_ptr<MapiProfileAdmin> admin, JournalWriter& journal)
      : admin_(std::move(admin)), journal_(journal) {}
  MapiResult AdminServices(const std::string& profile,
                           std::unique_ptr<MapiServiceAdmin>& admin) override {
    std::unique_ptr<MapiServiceAdmin> real;
    const MapiResult result = admin_->AdminServices(profile, real);
    if (!MapiFailed(result)) {
      admin = std::make_unique<JournalingServiceAdmin>(std::move(real), profile, journal_);
    }
    return result;
  }

 private:
  std::unique_ptr<MapiProfileAdmin> admin_;
  JournalWriter& journal_;
};

}  // namespace

long JournalingRegistry::Open(RegRoot root, std::string_view path, RegAccess access,
                              std::unique_ptr<RegistryKey>& key) {
  std::unique_ptr<RegistryKey> opened;
  const long result = registry_.Open(root, path, access, opened);
  if (result == win32_error::kSuccess) {
    key = std::make_unique<JournalingKey>(std::move(opened), root, std::string(path), journal_);
  }
  return result;
}

long JournalingRegistry::Create(RegRoot root, std::string_view path,
                                std::unique_ptr<RegistryKey>& key) {
  // Each key the call would make is noted, from the top down, so undo can
  // remove them from the bottom up.
  std::string prefix;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      prefix += (prefix.empty() ? "" : "\\") + std::string(path.substr(start, end - start));
      std::unique_ptr<RegistryKey> probe;
      if (registry_.Open(root, prefix, RegAccess::Read, probe) == win32_error::kFileNotFound &&
          !journal_.NoteKeyCreated(root, prefix)) {
        return win32_error::kCantWrite;
      }
    }
    start = end + 1;
  }
  std::unique_ptr<RegistryKey> created;
  const long result = registry_.Create(root, path, created);
  if (result == win32_error::kSuccess) {
    key = std::make_unique<JournalingKey>(std::move(created), root, std::string(path), journal_);
  }
  return result;
}

long JournalingRegistry::DeleteKey(RegRoot root, std::string_view path) {
  // The program removes only keys it made in the same run; those are in the
  // journal already as made, and undo finds them gone.
  return registry_.DeleteKey(root, path);
}

MapiResult JournalingMapi::AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) {
  std::unique_ptr<MapiProfileAdmin> real;
  const MapiResult result = mapi_.AdminProfiles(real);
  if (!MapiFailed(result)) admin = std::make_unique<JournalingProfileAdmin>(std::move(real), journal_);
  return result;
}

JournalingServices::JournalingServices(Platform& platform, JournalWriter& journal)
    : files_(platform.files, journal),
      registry_(platform.registry, journal),
      mapi_(platform.mapi ? std::make_optional<JournalingMapi>(*platform.mapi, journal)
                          : std::nullopt),
      settings_(platform.settings
                    ? std::make_optional<JournalingSettings>(*platform.settings, journal)
                    : std::nullopt),
      platform_(Rewired(platform, registry_, files_, platform.processes,
                        mapi_ ? &*mapi_ : nullptr, settings_ ? &*settings_ : nullptr)) {}

}  // namespace quillbank
