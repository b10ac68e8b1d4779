// Reading and writing a registry hive in Wine's text format. A hive is kept
// as it was read: its header and every key whose values did not change are
// written back exactly as they stood, so a diff after one change shows that
// key alone.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "env/platform/registry_tree.h"

namespace quillbank {

class RegistryHive {
 public:
  // Parses `text` into `root`. False, with the line in `error`, when the text
  // is not a hive.
  bool Load(const std::string& text, RegistryNode& root, std::string& error);
  // The hive text for `root`; keys whose values match what was read keep
  // their original lines, changed keys get `stamp` as their time stamp.
  [[nodiscard]] std::string Render(const RegistryNode& root, long long stamp) const;

 private:
  struct KeyBlock {
    std::vector<std::string> lines;  // the key's lines as read, header included
    std::vector<std::pair<std::string, RegValue>> values;  // as read
  };
  void RenderNode(const RegistryNode& node, const std::string& path, long long stamp,
                  std::string& out) const;

  std::string header_ = "WINE REGISTRY Version 2\n";
  std::map<const RegistryNode*, KeyBlock> blocks_;
};

// Windows-1252 text to UTF-16 code units and back ('?' for what 1252 lacks).
[[nodiscard]] std::u16string WidenCp1252(const std::string& text);
[[nodiscard]] std::string NarrowCp1252(const std::u16string& text);

}  // namespace quillbank
