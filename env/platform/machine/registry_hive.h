// Reading and writing a registry hive in Wine's text format. The hive is kept
// as it was read: names and text stay UTF-16 exactly as Wine's "\x" escapes
// give them, and the header and every block of a key the run did not change
// are written back byte for byte (time stamps, "#time", "#link", "#class"
// lines and value types the program never uses included). A key that changed
// gets one block, at the place of its first one, holding its other blocks'
// lines in order; of its value lines only the changed ones are rewritten.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/registry_tree.h"

namespace quillbank {

// The present moment as Wine stamps a key line ("[Key] 1700000000"): seconds
// since 1970. The "#time=" line that Wine writes below it holds the same
// moment in 100 ns intervals since 1601; Render derives that from this stamp.
[[nodiscard]] long long KeyStampNow();

// A hive Wine wrote keeps its keys in tree order (each key before its
// subkeys, subkeys by upper-cased name). Such a hive is read on demand: Load
// notes where each key line lies, and a key's values and subkeys are parsed
// when the run first looks at it (see NodeLoader); Render copies the text of
// every key the run never read. A hive in any other order is parsed whole.
class RegistryHive final : private NodeLoader {
 public:
  // Reads `text` into `root`, an empty node. False, with the reason in
  // `error`, when the text is not a hive or nests keys deeper than Windows
  // allows (kMaxKeyDepth). The hive keeps the text.
  bool Load(std::string text, RegistryNode& root, std::string& error);
  // The hive text for the current state of `root`; keys that changed get
  // `stamp` (seconds since 1970) as their time stamp.
  [[nodiscard]] std::string Render(const RegistryNode& root, long long stamp) const;
  // The text Load was given.
  [[nodiscard]] const std::string& Text() const { return text_; }

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
    std::size_t position = 0;   // its place among the file's key lines
  };
  struct NodeRecord {
    std::vector<std::size_t> blocks;  // in file order
    std::vector<std::pair<std::u16string, RegValue>> values;  // as read
  };
  // The key lines [begin, end) of a node not read yet, all below it, the
  // node `depth` levels below the hive's root.
  struct Unread {
    std::uint32_t begin;
    std::uint32_t end;
    std::uint32_t depth;
  };
  // Where Render puts what: which key lines stay, and the new keys that follow
  // each (kHeaderEnd: the header).
  struct Layout;
  static constexpr std::size_t kHeaderEnd = static_cast<std::size_t>(-1);

  void LoadWhole(RegistryNode& root, std::string& error, bool& loaded);
  [[nodiscard]] bool IndexKeyLines();
  void ReadNode(RegistryNode& node) override;
  void ReadOwnBlock(std::uint32_t line, RegistryNode& node);
  void NoteUnread(RegistryNode& node, Unread unread);
  [[nodiscard]] std::vector<std::u16string> KeyPathAt(std::uint32_t line) const;
  [[nodiscard]] std::string_view KeyBlockText(std::uint32_t line) const;

  [[nodiscard]] RegistryNode* ReadKeyLine(const std::string& raw, const std::string& line,
                                          RegistryNode& root, std::string& error);
  void ReadEntryLine(const std::string& raw, const std::string& line, RegistryNode& key);
  [[nodiscard]] Layout Plan(const RegistryNode& root) const;
  void RenderNew(const Layout& layout, std::size_t after, long long stamp, std::string& out) const;
  void RenderChanged(const RegistryNode& node, const NodeRecord& record, long long stamp,
                     std::string& out) const;

  std::string text_;
  std::string header_ = "WINE REGISTRY Version 2\n";
  std::vector<Block> blocks_;
  std::map<const RegistryNode*, NodeRecord> records_;
  // Read on demand only: where each key line starts, which block (index + 1)
  // holds a key line once read, and the nodes still to read.
  bool on_demand_ = false;
  std::vector<std::uint32_t> key_lines_;
  std::vector<std::uint32_t> block_of_line_;
  std::vector<Unread> unread_;
};

}  // namespace quillbank
