#include "env/undo.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "core/ascii_text.h"
#include "env/change_record.h"
#include "env/journal_format.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

using Json = nlohmann::json;
using namespace journal;

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
