// An in-memory registry with the semantics Windows gives the program: key and
// value names that keep their case and are looked up without regard to it,
// subkeys enumerated in Windows' order (by upper-cased name), reads that fail
// with 234 when the caller's buffer is too small and fill nothing, and opens of
// missing keys that fail with 2.
//
// Like Windows, the tree holds names and text data as UTF-16, and the narrow
// (code page) API converts at the call: writes widen through the code page,
// reads narrow through it. A name the code page cannot hold is never matched by
// a narrow name, so a narrow caller can neither open nor overwrite it.
//
// The machine-folder backend keeps its hives in this tree; tests use it on its
// own as a fast registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank {

// Windows refuses keys nested deeper than this below a hive's root.
inline constexpr std::size_t kMaxKeyDepth = 512;

// ERROR_NO_UNICODE_TRANSLATION: a name or text the code page cannot hold.
inline constexpr long kNoUnicodeTranslation = 1113;

// One UTF-16 code unit upper-cased as Windows compares registry names (the
// Latin, Greek, Cyrillic and Armenian letters and the full-width forms).
[[nodiscard]] char16_t UpcaseUnit(char16_t unit);
[[nodiscard]] std::u16string UpcaseName(std::u16string_view name);

// True when two names are equal without regard to case. The narrow form
// compares Windows-1252 names.
[[nodiscard]] bool SameName(std::u16string_view a, std::u16string_view b);
[[nodiscard]] bool SameName(std::string_view a, std::string_view b);

// Splits a backslash path into components; empty components (leading,
// trailing or doubled backslashes) are dropped.
[[nodiscard]] std::vector<std::string> SplitKeyPath(std::string_view path);
[[nodiscard]] std::vector<std::u16string> SplitKeyPath(std::u16string_view path);

// Text value types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ): held as UTF-16 and
// converted through the code page by the narrow API.
[[nodiscard]] bool IsTextType(std::uint32_t type);

struct RegistryNode;

// Reads a node's values and subkeys from where they are kept (a hive's text)
// the first time they are needed, so that a large hive costs only the keys a
// run looks at.
class NodeLoader {
 public:
  virtual void ReadNode(RegistryNode& node) = 0;

 protected:
  ~NodeLoader() = default;
};

struct RegistryNode {
  std::u16string name;  // as created
  // In the order first set. Text types hold UTF-16LE data, as Windows keeps it.
  std::vector<std::pair<std::u16string, RegValue>> values;
  // Keyed by the upper-cased name, which is Windows' enumeration order.
  std::map<std::u16string, std::unique_ptr<RegistryNode>> subkeys;

  // While set, `values` and `subkeys` are still to be read by the loader
  // (`loader_slot` is the loader's own note of where). Every member function
  // below reads them first, and a node that FindSubkey or AddSubkey returns
  // has been read; only a child seen by walking `subkeys` may not be yet.
  NodeLoader* loader = nullptr;
  std::uint32_t loader_slot = 0;

  RegistryNode() = default;
  RegistryNode(const RegistryNode&) = delete;
  RegistryNode& operator=(const RegistryNode&) = delete;
  // Frees deep trees without one stack frame per level.
  ~RegistryNode();

  [[nodiscard]] RegistryNode* FindSubkey(std::u16string_view name) const;
  RegistryNode& AddSubkey(std::u16string_view name);
  [[nodiscard]] const RegValue* FindValue(std::u16string_view name) const;
  void SetValue(std::u16string_view name, RegValue value);
  bool DeleteValue(std::u16string_view name);
  // Removes a subkey that has no subkeys itself; false when there is none.
  bool RemoveLeafSubkey(std::u16string_view name);
  // Has the loader read the values and subkeys, if they are still to be read.
  // Reading changes nothing a caller can see, so it is allowed on a const node.
  void EnsureRead() const;
};

class MemoryRegistry : public Registry {
 public:
  explicit MemoryRegistry(const CodePage& code_page = Windows1252());

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override;
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override;
  long DeleteKey(RegRoot root, std::string_view path) override;

  // The top node of a root. HKEY_CLASSES_ROOT is HKLM\Software\Classes.
  RegistryNode& RootNode(RegRoot root);
  // Finds a key by its narrow path without opening it; null when missing or
  // when a component is a name the code page cannot hold.
  [[nodiscard]] RegistryNode* Find(RegRoot root, std::string_view path);
  [[nodiscard]] const CodePage& code_page() const { return code_page_; }

  // Called after every change (value set or deleted, key created or
  // deleted), with the root whose tree changed. The machine folder notes
  // there which hive its commit must write.
  void OnChange(std::function<void(RegRoot)> callback) { on_change_ = std::move(callback); }
  void NotifyChanged(RegRoot root) {
    if (on_change_) on_change_(root);
  }

 private:
  // The wide components of a narrow path; false when the path is deeper than
  // Windows allows.
  bool WidePath(std::string_view path, std::vector<std::u16string>& parts) const;
  RegistryNode* FindFrom(RegistryNode* node, const std::vector<std::u16string>& parts) const;
  [[nodiscard]] bool NarrowCallerMayUse(const RegistryNode& node) const;

  const CodePage& code_page_;
  RegistryNode current_user_;
  RegistryNode local_machine_;
  std::function<void(RegRoot)> on_change_;
};

}  // namespace quillbank
