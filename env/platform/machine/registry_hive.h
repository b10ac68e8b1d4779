// Reading and writing a registry hive in Wine's text format. The hive is kept
// as it was read: names and text stay UTF-16 exactly as Wine's "\x" escapes
// give them, and the header and every block of a key the run did not change
// are written back byte for byte (time stamps, "#time", "#link", "#class"
// lines and value types the program never uses included). A key that changed
// gets one block, at the place of its first one, holding its other blocks'
// lines in order; of its value lines only the changed ones are rewritten.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "env/platform/registry_tree.h"

namespace quillbank {

// The present moment as Wine stamps a key line ("[Key] 1700000000"): seconds
// since 1970. The "#time=" line that Wine writes below it holds the same
// moment in 100 ns intervals since 1601; Render derives that from this stamp.
[[nodiscard]] long long KeyStampNow();

class RegistryHive {
 public:
  // Parses `text` into `root`, an empty node. False, with the reason in
  // `error`, when the text is not a hive or nests keys deeper than Windows
  // allows (kMaxKeyDepth).
  bool Load(const std::string& text, RegistryNode& root, std::string& error);
  // The hive text for the current state of `root`; keys that changed get
  // `stamp` (seconds since 1970) as their time stamp.
  [[nodiscard]] std::string Render(const RegistryNode& root, long long stamp) const;

 private:
  enum class LineKind { kOther, kTime, kBlank, kValue };
  struct Entry {
    std::string raw;  // the line as read, continuation lines and line ends included
    LineKind kind = LineKind::kOther;
    std::u16string value_name;  // kValue only
    RegValue value;             // kValue only: what the line holds
  };
  struct Block {
    const RegistryNode* node = nullptr;
    std::u16string upper_path;  // to tell the node from a later one at the same address
    std::string key_line;       // as read, line end included
    std::string bracketed;      // "[...]" of the key line as read
    std::vector<Entry> entries;
  };
  struct NodeRecord {
    std::vector<std::size_t> blocks;  // in file order
    std::vector<std::pair<std::u16string, RegValue>> values;  // as read
  };

  [[nodiscard]] RegistryNode* ReadKeyLine(const std::string& raw, const std::string& line,
                                          RegistryNode& root, std::string& error);
  void ReadEntryLine(const std::string& raw, const std::string& line, RegistryNode& key);
  void RenderChanged(const RegistryNode& node, const NodeRecord& record, long long stamp,
                     std::string& out) const;

  std::string header_ = "WINE REGISTRY Version 2\n";
  std::vector<Block> blocks_;
  std::map<const RegistryNode*, NodeRecord> records_;
};

}  // namespace quillbank
