#include "env/staged_registry.h"

#include <algorithm>

#include "core/ascii_text.h"
#include "env/change_record.h"
#include "env/registry_access.h"
#include "env/platform/registry_tree.h"

namespace quillbank {

// ERROR_KEY_DELETED: the key was removed while it was open.
constexpr long kKeyDeleted = 1018;

// An open key: the run's own values first, then the key beneath.
class StagedKey final : public RegistryKey {
 public:
  StagedKey(StagedRegistry& registry, RegRoot root, std::string path,
            std::unique_ptr<RegistryKey> beneath, RegAccess access)
      : registry_(registry),
        root_(root),
        path_(std::move(path)),
        beneath_(std::move(beneath)),
        access_(access) {}

  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    if (const StagedRegistry::Key* key = Staged()) {
      const auto found = key->values.find(AsciiUpper(name));
      if (found != key->values.end()) {
        if (!found->second.data) return win32_error::kFileNotFound;
        if (found->second.data->data.size() > capacity) return win32_error::kMoreData;
        out = *found->second.data;
        return win32_error::kSuccess;
      }
    }
    if (!beneath_ || !registry_.BeneathCounts(root_, path_)) return win32_error::kFileNotFound;
    return beneath_->QueryValue(name, capacity, out);
  }

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    if (access_ != RegAccess::All) return win32_error::kAccessDenied;
    if (!registry_.Exists(root_, path_)) return kKeyDeleted;
    Record(name, RegValue{type, data});
    return win32_error::kSuccess;
  }

  long DeleteValue(std::string_view name) override {
    if (access_ != RegAccess::All) return win32_error::kAccessDenied;
    RegValue current;
    if (QueryWholeValue(*this, name, current) != win32_error::kSuccess) {
      return win32_error::kFileNotFound;
    }
    Record(name, std::nullopt);
    return win32_error::kSuccess;
  }

  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    const std::vector<std::string> names = registry_.SubkeyNames(root_, path_);
    if (index >= names.size()) return win32_error::kNoMoreItems;
    if (names[index].size() + 1 > capacity) return win32_error::kMoreData;
    name = names[index];
    return win32_error::kSuccess;
  }

  long QuerySubkeyCount(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(registry_.SubkeyNames(root_, path_).size());
    return win32_error::kSuccess;
  }

 private:
  const StagedRegistry::Key* Staged() { return registry_.Find(StagedRegistry::Id(root_, path_)); }

  void Record(std::string_view name, std::optional<RegValue> data) {
    StagedRegistry::Key& key = registry_.Touch(root_, path_);
    const std::string upper = AsciiUpper(name);
    auto [value, added] = key.values.try_emplace(upper);
    if (added) {
      value->second.name = std::string(name);
      key.value_order.push_back(upper);
    }
    value->second.data = std::move(data);
  }

  StagedRegistry& registry_;
  RegRoot root_;
  std::string path_;
  std::unique_ptr<RegistryKey> beneath_;
  RegAccess access_;
};

std::string StagedRegistry::Id(RegRoot root, std::string_view path) {
  std::string id = RootName(root);
  for (const std::string& part : SplitKeyPath(path)) id += "\\" + AsciiUpper(part);
  return id;
}

StagedRegistry::Key* StagedRegistry::Find(const std::string& id) {
  const auto found = keys_.find(id);
  return found == keys_.end() ? nullptr : &found->second;
}

StagedRegistry::Key& StagedRegistry::Touch(RegRoot root, std::string_view path) {
  const std::string id = Id(root, path);
  auto [key, added] = keys_.try_emplace(id);
  if (added) {
    key->second.root = root;
    key->second.path = std::string(path);
    order_.push_back(id);
  }
  return key->second;
}

bool StagedRegistry::BeneathCounts(RegRoot root, std::string_view path) {
  // A key removed or made anew by the run hides what lay beneath it, and so
  // does one of the keys above it.
  std::string prefix;
  for (const std::string& part : SplitKeyPath(path)) {
    prefix += (prefix.empty() ? "" : "\\") + part;
    if (const Key* key = Find(Id(root, prefix))) {
      if (key->deleted || key->created) return false;
    }
  }
  std::unique_ptr<RegistryKey> probe;
  return registry_.Open(root, path, RegAccess::Read, probe) == win32_error::kSuccess;
}

bool StagedRegistry::Exists(RegRoot root, std::string_view path) {
  std::string prefix;
  bool made = false;
  for (const std::string& part : SplitKeyPath(path)) {
    prefix += (prefix.empty() ? "" : "\\") + part;
    const Key* key = Find(Id(root, prefix));
    if (key && key->deleted) return false;
    made = key && key->created;
    if (made) continue;
  }
  if (made) return true;
  return BeneathCounts(root, path);
}

std::vector<std::string> StagedRegistry::SubkeyNames(RegRoot root, std::string_view path) {
  std::vector<std::string> names;
  if (!Exists(root, path)) return names;
  const std::string id = Id(root, path);
  std::unique_ptr<RegistryKey> beneath;
  if (BeneathCounts(root, path) &&
      registry_.Open(root, path, RegAccess::Read, beneath) == win32_error::kSuccess) {
    std::string name;
    for (std::uint32_t index = 0;; ++index) {
      const long result = beneath->EnumKey(index, 256, name);
      if (result == win32_error::kNoMoreItems) break;
      if (result != win32_error::kSuccess) continue;
      const Key* key = Find(id + "\\" + AsciiUpper(name));
      if (!key || !key->deleted) names.push_back(name);
    }
  }
  for (const std::string& key_id : order_) {
    const Key& key = keys_.at(key_id);
    if (!key.created || key.deleted) continue;
    if (key_id.size() <= id.size() + 1 || key_id.compare(0, id.size() + 1, id + "\\") != 0 ||
        key_id.find('\\', id.size() + 1) != std::string::npos) {
      continue;
    }
    const std::vector<std::string> parts = SplitKeyPath(key.path);
    const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      return EqualsIgnoringCase(n, parts.back());
    });
    if (!listed) names.push_back(parts.back());
  }
  // Windows lists subkeys by their upper-cased names.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return AsciiUpper(a) < AsciiUpper(b);
  });
  return names;
}

long StagedRegistry::Open(RegRoot root, std::string_view path, RegAccess access,
                          std::unique_ptr<RegistryKey>& key) {
  if (!Exists(root, path)) return win32_error::kFileNotFound;
  std::unique_ptr<RegistryKey> beneath;
  if (BeneathCounts(root, path)) {
    // Opened for reading only: nothing the run does reaches the key beneath.
    const long result = registry_.Open(root, path, RegAccess::Read, beneath);
    if (result != win32_error::kSuccess && result != win32_error::kFileNotFound) return result;
  }
  key = std::make_unique<StagedKey>(*this, root, std::string(path), std::move(beneath), access);
  return win32_error::kSuccess;
}

long StagedRegistry::Create(RegRoot root, std::string_view path,
                            std::unique_ptr<RegistryKey>& key) {
  const std::vector<std::string> parts = SplitKeyPath(path);
  if (parts.size() > kMaxKeyDepth) return win32_error::kInvalidParameter;
  std::string prefix;
  for (const std::string& part : parts) {
    prefix += (prefix.empty() ? "" : "\\") + part;
    if (Exists(root, prefix)) continue;
    Key& made = Touch(root, prefix);
    made.created = true;
    made.deleted = false;
    made.values.clear();
    made.value_order.clear();
  }
  return Open(root, path, RegAccess::All, key);
}

long StagedRegistry::DeleteKey(RegRoot root, std::string_view path) {
  if (!Exists(root, path)) return win32_error::kFileNotFound;
  if (!SubkeyNames(root, path).empty()) return win32_error::kAccessDenied;
  Key& key = Touch(root, path);
  key.deleted = true;
  key.created = false;
  key.values.clear();
  key.value_order.clear();
  return win32_error::kSuccess;
}

std::vector<TouchedKey> StagedRegistry::Touched() const {
  std::vector<TouchedKey> touched;
  for (const std::string& id : order_) {
    const Key& key = keys_.at(id);
    TouchedKey entry{key.root, key.path, {}};
    for (const std::string& upper : key.value_order) {
      entry.value_names.push_back(key.values.at(upper).name);
    }
    touched.push_back(std::move(entry));
  }
  return touched;
}

}  // namespace quillbank
