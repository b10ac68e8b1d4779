// A registry that takes every change into memory and leaves the system's
// registry as it is, for a run that only shows what it would do. On Windows
// each write reaches the registry at once, so a preview cannot simply skip
// the commit: every key and value the run creates, sets or removes is held
// here, and later reads and enumerations see it over the registry beneath.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// A key the run changed: created, removed, or values set or removed in it.
struct TouchedKey {
  RegRoot root;
  std::string path;                      // as the run first named it
  std::vector<std::string> value_names;  // the values changed, in the order first changed
};

class StagedRegistry final : public Registry {
 public:
  explicit StagedRegistry(Registry& registry) : registry_(registry) {}

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;
  long DeleteKey(RegRoot root, std::string_view path) override;
  // Nothing is written: the changes stay here.
  long Commit() override { return win32_error::kSuccess; }

  // Every key the run changed, in the order first changed.
  [[nodiscard]] std::vector<TouchedKey> Touched() const;

 private:
  struct Value {
    std::string name;              // as first set
    std::optional<RegValue> data;  // none: removed
  };
  struct Key {
    RegRoot root;
    std::string path;  // as first named
    bool created = false;  // made by the run (values beneath are the run's only)
    bool deleted = false;
    std::map<std::string, Value> values;  // keyed by upper-cased name
    std::vector<std::string> value_order;
  };
  friend class StagedKey;

  [[nodiscard]] static std::string Id(RegRoot root, std::string_view path);
  [[nodiscard]] Key* Find(const std::string& id);
  Key& Touch(RegRoot root, std::string_view path);
  [[nodiscard]] bool Exists(RegRoot root, std::string_view path);
  // True when the registry beneath holds the key and the run has not removed
  // or re-made it (so its values beneath still count).
  [[nodiscard]] bool BeneathCounts(RegRoot root, std::string_view path);
  [[nodiscard]] std::vector<std::string> SubkeyNames(RegRoot root, std::string_view path);

  Registry& registry_;
  std::map<std::string, Key> keys_;  // keyed by Id
  std::vector<std::string> order_;
};

}  // namespace quillbank
