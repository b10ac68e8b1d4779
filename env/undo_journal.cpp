#include "env/undo_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include <nlohmann/json.hpp>

#include "core/ascii_text.h"
#include "env/app_data.h"
#include "env/change_record.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

using Json = nlohmann::json;

constexpr const char* kJournalFile = "journal.jsonl";
// How the safe file replacement names its temporary files.
constexpr const char* kTemporarySuffix = ".quillbank-tmp";

// Tells whether an item still holds what the run made of it: FNV-1a's
// multiply and xor, taken eight bytes at a time (as little-endian words, the
// order of every system the program runs on) in four lanes that take turns,
// word by word, and are folded into one value at the end. The lanes' chains
// of multiplications do not wait for each other, so a 36 MB prefs.js costs
// about two milliseconds. The same bytes give the same hash however they are
// cut into pieces. It guards against ordinary edits, not against forgery.
class Hash {
 public:
  void Add(std::string_view bytes) {
    std::size_t at = 0;
    if (held_ > 0) {
      while (held_ < kBlock && at < bytes.size()) block_[held_++] = bytes[at++];
      if (held_ < kBlock) return;
      MixBlocks(block_, 1);
      held_ = 0;
    }
    const std::size_t whole = (bytes.size() - at) / kBlock;
    MixBlocks(bytes.data() + at, whole);
    at += whole * kBlock;
    while (at < bytes.size()) block_[held_++] = bytes[at++];
  }
  [[nodiscard]] std::string Text() const {
    std::uint64_t value = kBasis;
    for (const std::uint64_t lane : lanes_) value = Step(value, lane);
    for (std::size_t i = 0; i < held_; ++i) {
      value ^= static_cast<unsigned char>(block_[i]);
      value *= kPrime;
    }
    value = Step(value, blocks_);  // the length, in whole blocks (the rest is above)
    value ^= value >> 29;  // spreads the last word's bits over the whole hash
    std::string text;
    text.reserve(16);
    for (int shift = 60; shift >= 0; shift -= 4) text += "0123456789abcdef"[(value >> shift) & 0xF];
    return text;
  }

 private:
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kBlock = 8 * kLanes;
  static constexpr std::uint64_t kBasis = 0xcbf29ce484222325ull;
  static constexpr std::uint64_t kPrime = 0x100000001b3ull;

  static std::uint64_t Step(std::uint64_t value, std::uint64_t word) {
    value = (value ^ word) * kPrime;
    return value ^ value >> 32;
  }
  // One load, where the system is little-endian (all it runs on are).
  static std::uint64_t Word(const char* eight) {
    std::uint64_t word;
    std::memcpy(&word, eight, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
  }
  // The lanes are worked on in locals, each in a register of its own: the
  // bytes are read through a char pointer, which the compiler must otherwise
  // assume could change them; and x86-64's vector registers have no 64-bit
  // multiply, so GCC's vectorizer would pair the lanes up and build each
  // multiply from a dozen shifts and adds, four times slower. The empty asm
  // statements only tell the compiler each lane lives in a general register.
  void MixBlocks(const char* blocks, std::size_t count) {
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (const char* block = blocks; block != blocks + count * kBlock; block += kBlock) {
      a = Step(a, Word(block));
      b = Step(b, Word(block + 8));
      c = Step(c, Word(block + 16));
      d = Step(d, Word(block + 24));
#if defined(__GNUC__) && defined(__x86_64__)
      asm("" : "+r"(a), "+r"(b), "+r"(c), "+r"(d));
#endif
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    blocks_ += count;
  }

  // Each lane starts apart, so that words that trade places change the hash.
  std::uint64_t lanes_[kLanes] = {kBasis, kBasis ^ 0x9e3779b97f4a7c15ull,
                                  kBasis ^ 0x3c6ef372fe94f82aull, kBasis ^ 0xdaa66d2c7ddf743full};
  std::uint64_t blocks_ = 0;
  char block_[kBlock] = {};
  std::size_t held_ = 0;
};

std::string HashOf(std::string_view bytes) {
  Hash hash;
  hash.Add(bytes);
  return hash.Text();
}

std::string_view BytesOf(const std::vector<std::uint8_t>& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::string ValueHash(const RegValue& value) {
  Hash hash;
  hash.Add(std::to_string(value.type) + ":");
  hash.Add(BytesOf(value.data));
  return hash.Text();
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

std::vector<std::uint8_t> Unhex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Json ValueJson(const std::optional<RegValue>& value) {
  if (!value) return nullptr;
  return Json{{"type", value->type}, {"data", Hex(BytesOf(value->data))}};
}

RegRoot RootNamed(const std::string& name) {
  if (name == "HKEY_LOCAL_MACHINE") return RegRoot::LocalMachine;
  if (name == "HKEY_CLASSES_ROOT") return RegRoot::ClassesRoot;
  return RegRoot::CurrentUser;
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

// The journals below the folder, oldest first.
std::vector<std::string> JournalNames(Files& files, const std::string& folder, char separator) {
  std::vector<std::string> names;
  for (const std::string& name : files.ListFolder(folder + separator + "*")) {
    if (name.size() == 8 && std::all_of(name.begin(), name.end(), [](char c) {
          return c >= '0' && c <= '9';
        })) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveJournal(Files& files, const std::string& folder, char separator) {
  for (const std::string& name : files.ListFolder(folder + separator + "*")) {
    files.DeleteFile(folder + separator + name);
  }
  files.RemoveFolder(folder);
}

// What a journal says of one item: its first before-image and the last
// after-hash the run noted.
struct Item {
  enum class Kind { File, Folder, Key, Value, Setting } kind;
  std::string name;  // as undo names it to the user
  std::string path;
  RegRoot root = RegRoot::CurrentUser;
  std::string value;  // a registry value's name, or a setting's key (its schema is the path)
  Json before;
  Json after;
};

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
      platform_{registry_,      files_,
                platform.environment, platform.processes,
                platform.clock, platform.uuids,
                platform.code_page,   platform.user,
                mapi_ ? &*mapi_ : nullptr, platform.run_lock,
                settings_ ? &*settings_ : nullptr} {}

// -------------------------------------------------------------------- undo

namespace {

class Undoer {
 public:
  Undoer(Platform& platform, std::string journal)
      : platform_(platform), journal_(std::move(journal)) {}

  bool Read() {
    const std::optional<std::string> lines =
        platform_.files.ReadFile(JoinPath(platform_, journal_, kJournalFile));
    if (!lines) return false;
    std::size_t start = 0;
    while (start < lines->size()) {
      std::size_t end = lines->find('\n', start);
      // A last line without its end was cut off by a killed run: the change
      // it announced was never made.
      if (end == std::string::npos) break;
      Take(Json::parse(lines->substr(start, end - start), nullptr, false));
      start = end + 1;
    }
    return true;
  }

  UndoResult Run() {
    UndoResult result;
    result.outcome = UndoResult::Outcome::Undone;
    result.kept = kept_;
    // First every item is checked, then everything is put back.
    for (const Item& item : items_) {
      if (!Unchanged(item)) {
        result.outcome = UndoResult::Outcome::ChangedSince;
        result.item = item.name;
        return result;
      }
    }
    if (!PutBack(result)) return result;
    return result;
  }

 private:
  void Take(const Json& entry) {
    if (!entry.is_object()) return;
    Item item{Item::Kind::File, "", "", RegRoot::CurrentUser, "", nullptr, nullptr};
    if (entry.contains("file")) {
      item.kind = Item::Kind::File;
      item.path = entry["file"].get<std::string>();
      item.name = item.path;
    } else if (entry.contains("folder")) {
      item.kind = Item::Kind::Folder;
      item.path = entry["folder"].get<std::string>();
      item.name = item.path;
    } else if (entry.contains("setting")) {
      item.kind = Item::Kind::Setting;
      item.path = entry["setting"].get<std::string>();
      item.value = entry.value("key", std::string());
      item.name = item.path + " " + item.value;
    } else if (entry.contains("mapi")) {
      kept_.push_back("The MAPI service " + entry.value("service", std::string()) +
                      " added to the profile \"" + entry["mapi"].get<std::string>() +
                      "\" stays: remove it in Outlook's mail settings if it is not wanted.");
      return;
    } else if (entry.contains("key")) {
      item.root = RootNamed(entry.value("root", std::string()));
      item.path = entry["key"].get<std::string>();
      item.name = RootName(item.root) + "\\" + item.path;
      if (entry.contains("value")) {
        item.kind = Item::Kind::Value;
        item.value = entry["value"].get<std::string>();
        item.name += "\\" + (item.value.empty() ? std::string("(default)") : item.value);
      } else {
        item.kind = Item::Kind::Key;
      }
    } else {
      return;
    }
    const auto same = std::find_if(items_.begin(), items_.end(), [&](const Item& known) {
      return known.kind == item.kind && known.name == item.name;
    });
    if (same == items_.end()) {
      item.before = entry.contains("before") ? entry["before"] : Json(nullptr);
      item.after = entry.contains("after") ? entry["after"] : Json(nullptr);
      items_.push_back(std::move(item));
    } else if (entry.contains("after")) {
      same->after = entry["after"];
    }
  }

  std::optional<std::string> BeforeImage(const Item& item) {
    if (!item.before.is_string()) return std::nullopt;
    return platform_.files.ReadFile(JoinPath(platform_, journal_, item.before.get<std::string>()));
  }

  std::optional<RegValue> CurrentValue(const Item& item) {
    bool readable = true;
    return CurrentValue(item, readable);
  }

  // The value as it is now; none when it (or its key) is missing, and
  // `readable` false when it could not be read at all.
  std::optional<RegValue> CurrentValue(const Item& item, bool& readable) {
    std::unique_ptr<RegistryKey> key;
    RegValue value;
    long result = platform_.registry.Open(item.root, item.path, RegAccess::Read, key);
    if (result == win32_error::kSuccess) result = QueryWholeValue(*key, item.value, value);
    readable = result == win32_error::kSuccess || result == win32_error::kFileNotFound;
    if (result != win32_error::kSuccess) return std::nullopt;
    return value;
  }

  std::optional<std::string> CurrentSetting(const Item& item) {
    if (!platform_.settings) return std::nullopt;
    return platform_.settings->Get({item.path, item.value});
  }

  // Sets a desktop setting and reads it back: the store may drop a change
  // it said it took.
  bool SetSetting(const Item& item, const std::string& value) {
    const SettingKey key{item.path, item.value};
    return platform_.settings && platform_.settings->CanSave() &&
           platform_.settings->Set(key, value) && platform_.settings->Get(key) == value;
  }

  // A file as it is now; none when it is missing, and `readable` false when
  // it is there but could not be read.
  std::optional<std::string> CurrentFile(const std::string& path, bool& readable) {
    std::optional<std::string> bytes = platform_.files.ReadFile(path);
    readable = bytes.has_value() || !platform_.files.FileExists(path);
    return bytes;
  }

  // Once undo has put back the run's files and removed the folders below,
  // a folder the run made holds nothing but the temporary file of a run
  // killed while writing; anything else (a folder kept below it included)
  // was put there since, by the user, the client or the desktop.
  bool FolderHoldsOnlyTheRuns(const Item& item) {
    const std::string separator(1, PathSeparator(platform_));
    for (const std::string& name : platform_.files.ListFolder(item.path + separator + "*")) {
      if (!EndsWith(name, kTemporarySuffix)) return false;
    }
    return true;
  }

  bool Unchanged(const Item& item) {
    switch (item.kind) {
      case Item::Kind::File: {
        const std::optional<std::string> now = platform_.files.ReadFile(item.path);
        const bool as_after = item.after.is_null() ? !now : now && HashOf(*now) == item.after;
        return as_after || BeforeImage(item) == now;
      }
      case Item::Kind::Folder:
        return true;  // a folder the run made goes when nothing else is in it
      case Item::Kind::Key:
        return true;  // a key the run made goes when nothing else is in it
      case Item::Kind::Setting: {
        const std::optional<std::string> now = CurrentSetting(item);
        const auto holds = [&](const Json& image) {
          return image.is_string() ? now == image.get<std::string>() : !now;
        };
        return holds(item.after) || holds(item.before);
      }
      case Item::Kind::Value: {
        const std::optional<RegValue> now = CurrentValue(item);
        const bool as_after = item.after.is_null() ? !now : now && ValueHash(*now) == item.after;
        std::optional<RegValue> before;
        if (item.before.is_object()) {
          before = RegValue{item.before["type"].get<std::uint32_t>(),
                            Unhex(item.before["data"].get<std::string>())};
        }
        const bool as_before = before ? now && now->type == before->type &&
                                            now->data == before->data
                                      : !now;
        return as_after || as_before;
      }
    }
    return false;
  }

  // Puts every item back: files first, each through the safe replacement,
  // then the folders the run made, the desktop settings, then the registry,
  // committed at the end.
  // Should any step fail, what was put back already gets the run's content
  // again, and nothing is committed.
  bool PutBack(UndoResult& result) {
    Rollback rollback(platform_);
    for (const Item& item : items_) {
      if (item.kind != Item::Kind::File) continue;
      bool readable = true;
      const std::optional<std::string> now = CurrentFile(item.path, readable);
      const std::optional<std::string> before = BeforeImage(item);
      if (!readable || (item.before.is_string() && !before)) {
        return Fail(item.path, rollback, result);
      }
      if (now == before) continue;
      const bool ok = before ? platform_.files.ReplaceContents(item.path, *before) ==
                                   FileWrite::Written
                             : platform_.files.DeleteFile(item.path);
      if (!ok) return Fail(item.path, rollback, result);
      rollback.files.emplace_back(item.path, now);
      result.restored.push_back((before ? "Restored " : "Removed ") + item.path + ".");
    }
    const std::string separator(1, PathSeparator(platform_));
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
      if (it->kind != Item::Kind::Folder || !it->before.is_boolean() || it->before.get<bool>()) {
        continue;
      }
      // Others may keep files of their own in a folder the run made (dconf
      // keeps the desktop's settings in a ~/.config the run made): it stays
      // for them.
      if (!FolderHoldsOnlyTheRuns(*it)) {
        result.kept.push_back("The folder " + it->path + " stays: it holds files made since the run.");
        continue;
      }
      // A run killed while it wrote a file leaves that file's temporary
      // copy beside it; it goes with the folder the run made.
      for (const std::string& name :
           platform_.files.ListFolder(it->path + separator + "*" + kTemporarySuffix)) {
        platform_.files.DeleteFile(it->path + separator + name);
      }
      if (!platform_.files.RemoveFolder(it->path)) {
        if (!platform_.files.FolderExists(it->path)) continue;  // gone already
        return Fail(it->path, rollback, result);
      }
      rollback.folders.push_back(it->path);
      result.restored.push_back("Removed " + it->path + ".");
    }
    for (const Item& item : items_) {
      // A setting that could not be read before the run has nothing to go
      // back to; one that holds its old value already stays.
      if (item.kind != Item::Kind::Setting || !item.before.is_string()) continue;
      const std::optional<std::string> now = CurrentSetting(item);
      const std::string before = item.before.get<std::string>();
      if (now == before) continue;
      if (!now || !SetSetting(item, before)) return Fail(item.name, rollback, result);
      rollback.settings.push_back({item, *now});
      result.restored.push_back("Restored " + item.name + ".");
    }
    for (const Item& item : items_) {
      if (item.kind != Item::Kind::Value) continue;
      bool readable = true;
      const std::optional<RegValue> now = CurrentValue(item, readable);
      if (!readable) return Fail(item.name, rollback, result);
      long done = win32_error::kSuccess;
      if (item.before.is_object() || now) {
        std::unique_ptr<RegistryKey> key;
        done = platform_.registry.Open(item.root, item.path, RegAccess::All, key);
        if (done == win32_error::kFileNotFound && !item.before.is_object()) continue;
        if (done == win32_error::kSuccess) {
          done = item.before.is_object()
                     ? key->SetValue(item.value, item.before["type"].get<std::uint32_t>(),
                                     Unhex(item.before["data"].get<std::string>()))
                     : key->DeleteValue(item.value);
        }
      } else {
        continue;  // not there, as before the run
      }
      if (done != win32_error::kSuccess) return Fail(item.name, rollback, result);
      rollback.values.push_back({item.root, item.path, item.value, now});
      result.restored.push_back((item.before.is_object() ? "Restored " : "Removed ") + item.name +
                                ".");
    }
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
      if (it->kind != Item::Kind::Key) continue;
      std::unique_ptr<RegistryKey> key;
      const long opened = platform_.registry.Open(it->root, it->path, RegAccess::Read, key);
      if (opened == win32_error::kFileNotFound) continue;  // gone already
      std::uint32_t subkeys = 0;
      if (opened != win32_error::kSuccess || key->QuerySubkeyCount(subkeys) != win32_error::kSuccess) {
        return Fail(it->name, rollback, result);
      }
      key.reset();
      if (subkeys > 0) continue;  // someone keeps keys of their own in it: it stays for them
      if (platform_.registry.DeleteKey(it->root, it->path) != win32_error::kSuccess) {
        return Fail(it->name, rollback, result);
      }
      rollback.keys.push_back(*it);
      result.restored.push_back("Removed " + it->name + ".");
    }
    const long committed = platform_.registry.Commit();
    if (committed != win32_error::kSuccess) {
      return Fail("the registry (error " + std::to_string(committed) + ")", rollback, result);
    }
    return true;
  }

  // What an undo put back so far, to be given the run's content again.
  struct Rollback {
    explicit Rollback(Platform& platform) : platform(platform) {}
    struct Value {
      RegRoot root;
      std::string path;
      std::string name;
      std::optional<RegValue> now;
    };
    Platform& platform;
    std::vector<std::pair<std::string, std::optional<std::string>>> files;
    std::vector<Value> values;
    std::vector<Item> keys;
    std::vector<std::string> folders;
    std::vector<std::pair<Item, std::string>> settings;  // with the run's value

    void Run() {
      for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        std::unique_ptr<RegistryKey> made;
        (void)platform.registry.Create(it->root, it->path, made);
      }
      for (auto it = values.rbegin(); it != values.rend(); ++it) {
        std::unique_ptr<RegistryKey> key;
        if (platform.registry.Open(it->root, it->path, RegAccess::All, key) !=
            win32_error::kSuccess) {
          continue;
        }
        if (it->now) {
          key->SetValue(it->name, it->now->type, it->now->data);
        } else {
          key->DeleteValue(it->name);
        }
      }
      for (auto it = settings.rbegin(); it != settings.rend(); ++it) {
        if (platform.settings) platform.settings->Set({it->first.path, it->first.value}, it->second);
      }
      for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        platform.files.CreateFolder(*it);
      }
      for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (it->second) {
          (void)platform.files.ReplaceContents(it->first, *it->second);
        } else {
          platform.files.DeleteFile(it->first);
        }
      }
    }
  };

  static bool Fail(const std::string& item, Rollback& rollback, UndoResult& result) {
    rollback.Run();
    result.outcome = UndoResult::Outcome::Failed;
    result.item = item;
    result.restored.clear();
    return false;
  }

  Platform& platform_;
  std::string journal_;
  std::vector<Item> items_;
  std::vector<std::string> kept_;
};

}  // namespace

UndoResult UndoNewestJournal(Platform& platform, const std::string& journals_folder) {
  const char separator = PathSeparator(platform);
  const std::vector<std::string> names = JournalNames(platform.files, journals_folder, separator);
  UndoResult result;
  if (names.empty()) return result;
  const std::string journal = JoinPath(platform, journals_folder, names.back());
  Undoer undoer(platform, journal);
  if (!undoer.Read()) return result;
  result = undoer.Run();
  if (result.outcome == UndoResult::Outcome::Undone) RemoveJournal(platform.files, journal, separator);
  return result;
}

}  // namespace quillbank
