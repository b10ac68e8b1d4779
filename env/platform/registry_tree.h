// An in-memory registry with the semantics Windows gives the program: key and
// value names that keep their case and are looked up without regard to it,
// subkeys enumerated in Windows' order (by upper-cased name), reads that fail
// with 234 when the caller's buffer is too small and fill nothing, and opens of
// missing keys that fail with 2.
//
// The machine-folder backend keeps its hives in this tree; tests use it on its
// own as a fast registry.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// Orders names as Windows enumerates registry keys: by the upper-cased
// UTF-16 form of the Windows-1252 text.
struct WindowsNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

// True when two Windows-1252 names are equal without regard to case.
[[nodiscard]] bool SameName(std::string_view a, std::string_view b);

// Splits a backslash path into components; empty components (leading,
// trailing or doubled backslashes) are dropped.
[[nodiscard]] std::vector<std::string> SplitKeyPath(std::string_view path);

struct RegistryNode {
  std::string name;  // as created
  std::vector<std::pair<std::string, RegValue>> values;  // in the order first set
  std::map<std::string, std::unique_ptr<RegistryNode>, WindowsNameLess> subkeys;  // keyed by name

  [[nodiscard]] RegistryNode* FindSubkey(std::string_view name) const;
  RegistryNode& AddSubkey(std::string_view name);
  [[nodiscard]] const RegValue* FindValue(std::string_view name) const;
  void SetValue(std::string_view name, RegValue value);
  bool DeleteValue(std::string_view name);
};

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;

  // The top node of a root. HKEY_CLASSES_ROOT is HKLM\Software\Classes.
  RegistryNode& RootNode(RegRoot root);
  // Finds a key without opening it; null when missing.
  [[nodiscard]] RegistryNode* Find(RegRoot root, std::string_view path);

  // Called after every change (value set or deleted, key created), with the
  // root whose tree changed. The machine folder writes its hive here.
  void OnChange(std::function<void(RegRoot)> callback) { on_change_ = std::move(callback); }
  void NotifyChanged(RegRoot root) {
    if (on_change_) on_change_(root);
  }

 private:
  RegistryNode current_user_;
  RegistryNode local_machine_;
  std::function<void(RegRoot)> on_change_;
};

}  // namespace quillbank
