#include "env/platform/registry_tree.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quillbank {
namespace {

bool Between(char16_t unit, char16_t low, char16_t high) { return unit >= low && unit <= high; }

// Pairs of neighbouring code points where the upper-case letter comes first
// (`upper_even`: on the even code point) or second.
char16_t UpcasePair(char16_t unit, bool upper_even) {
  const bool odd = (unit & 1) != 0;
  return odd == upper_even ? static_cast<char16_t>(unit - 1) : unit;
}

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
  std::u16string units;
  units.reserve(data.size() / 2);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  }
  return units;
}

std::vector<std::uint8_t> BytesOf(std::u16string_view units) {
  std::vector<std::uint8_t> data;
  data.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return data;
}

template <typename Char>
std::vector<std::basic_string<Char>> Split(std::basic_string_view<Char> path) {
  std::vector<std::basic_string<Char>> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(Char('\\'), start);
    if (end == std::basic_string_view<Char>::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

char16_t UpcaseUnit(char16_t u) {
  if (u < 0x80) return Between(u, u'a', u'z') ? static_cast<char16_t>(u - 0x20) : u;
  if (Between(u, 0xE0, 0xFE) && u != 0xF7) return static_cast<char16_t>(u - 0x20);
  if (u == 0xFF) return 0x0178;
  // Latin Extended-A; the dotted and dotless i keep their own forms.
  if (Between(u, 0x0100, 0x012F) || Between(u, 0x0132, 0x0137) || Between(u, 0x014A, 0x0177)) {
    return UpcasePair(u, true);
  }
  if (Between(u, 0x0139, 0x0148) || Between(u, 0x0179, 0x017E)) return UpcasePair(u, false);
  if (u == 0x0192) return 0x0191;
  // Latin Extended-B, the regular runs.
  if (Between(u, 0x01CD, 0x01DC)) return UpcasePair(u, false);
  if (Between(u, 0x01DE, 0x01EF) || Between(u, 0x01F8, 0x021F) || Between(u, 0x0222, 0x0233)) {
    return UpcasePair(u, true);
  }
  // Greek.
  if (u == 0x03AC) return 0x0386;
  if (Between(u, 0x03AD, 0x03AF)) return static_cast<char16_t>(u - 0x25);
  if (Between(u, 0x03B1, 0x03CB) && u != 0x03C2) return static_cast<char16_t>(u - 0x20);
  if (u == 0x03C2) return 0x03A3;
  if (u == 0x03CC) return 0x038C;
  if (Between(u, 0x03CD, 0x03CE)) return static_cast<char16_t>(u - 0x3F);
  // Cyrillic.
  if (Between(u, 0x0430, 0x044F)) return static_cast<char16_t>(u - 0x20);
  if (Between(u, 0x0450, 0x045F)) return static_cast<char16_t>(u - 0x50);
  if (Between(u, 0x0460, 0x0481) || Between(u, 0x048A, 0x04BF) || Between(u, 0x04D0, 0x052F)) {
    return UpcasePair(u, true);
  }
  if (Between(u, 0x04C1, 0x04CE)) return UpcasePair(u, false);
  if (u == 0x04CF) return 0x04C0;
  // Armenian.
  if (Between(u, 0x0561, 0x0586)) return static_cast<char16_t>(u - 0x30);
  // Latin Extended Additional.
  if (Between(u, 0x1E00, 0x1E95) || Between(u, 0x1EA0, 0x1EFF)) return UpcasePair(u, true);
  // Roman numerals, circled letters, full-width Latin.
  if (Between(u, 0x2170, 0x217F)) return static_cast<char16_t>(u - 0x10);
  if (Between(u, 0x24D0, 0x24E9)) return static_cast<char16_t>(u - 0x1A);
  if (Between(u, 0xFF41, 0xFF5A)) return static_cast<char16_t>(u - 0x20);
  return u;
}

std::u16string UpcaseName(std::u16string_view name) {
  std::u16string upper(name);
  for (char16_t& unit : upper) unit = UpcaseUnit(unit);
  return upper;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && SameName(Windows1252().Widen(a), Windows1252().Widen(b));
}

std::vector<std::string> SplitKeyPath(std::string_view path) { return Split(path); }
std::vector<std::u16string> SplitKeyPath(std::u16string_view path) { return Split(path); }

bool IsTextType(std::uint32_t type) {
  return type == reg_type::kSz || type == reg_type::kExpandSz || type == reg_type::kMultiSz;
}

RegistryNode::~RegistryNode() {
  // Detach the subtrees into a work list first, so that no destructor below
  // recurses: a hive may nest keys as deep as Windows allows.
  std::vector<std::unique_ptr<RegistryNode>> pending;
  for (auto& [upper, child] : subkeys) pending.push_back(std::move(child));
  subkeys.clear();
  while (!pending.empty()) {
    std::unique_ptr<RegistryNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& [upper, child] : node->subkeys) pending.push_back(std::move(child));
    node->subkeys.clear();
  }
}

void RegistryNode::EnsureRead() const {
  if (loader == nullptr) return;
  auto& self = const_cast<RegistryNode&>(*this);
  NodeLoader* const reader = std::exchange(self.loader, nullptr);  // read once
  reader->ReadNode(self);
}

RegistryNode* RegistryNode::FindSubkey(std::u16string_view name) const {
  EnsureRead();
  const auto it = subkeys.find(UpcaseName(name));
  if (it == subkeys.end()) return nullptr;
  it->second->EnsureRead();
  return it->second.get();
}

RegistryNode& RegistryNode::AddSubkey(std::u16string_view name) {
  if (RegistryNode* existing = FindSubkey(name)) return *existing;
  auto node = std::make_unique<RegistryNode>();
  node->name = std::u16string(name);
  RegistryNode& added = *node;
  subkeys.emplace(UpcaseName(name), std::move(node));
  return added;
}

const RegValue* RegistryNode::FindValue(std::u16string_view name) const {
  EnsureRead();
  for (const auto& [value_name, value] : values) {
    if (SameName(value_name, name)) return &value;
  }
  return nullptr;
}

void RegistryNode::SetValue(std::u16string_view name, RegValue value) {
  EnsureRead();
  for (auto& [value_name, existing] : values) {
    if (SameName(value_name, name)) {
      existing = std::move(value);
      return;
    }
  }
  values.emplace_back(std::u16string(name), std::move(value));
}

bool RegistryNode::DeleteValue(std::u16string_view name) {
  EnsureRead();
  const auto it = std::find_if(values.begin(), values.end(),
                               [&](const auto& entry) { return SameName(entry.first, name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

bool RegistryNode::RemoveLeafSubkey(std::u16string_view name) {
  const RegistryNode* child = FindSubkey(name);  // reads this node and the subkey
  if (child == nullptr || !child->subkeys.empty()) return false;
  subkeys.erase(UpcaseName(name));
  return true;
}

namespace {

// A key opened through the narrow API: names widen through the code page on
// the way in, text and subkey names narrow through it on the way out. A key
// opened for reading refuses changes, as a KEY_READ handle does on Windows.
class MemoryKey final : public RegistryKey {
 public:
  MemoryKey(MemoryRegistry& registry, RegRoot root, RegistryNode& node, RegAccess access)
      : registry_(registry),
        root_(root == RegRoot::ClassesRoot ? RegRoot::LocalMachine : root),
        node_(node),
        access_(access) {
    node_.EnsureRead();
  }

  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    const RegValue* value = Lookup(name);
    if (!value) return win32_error::kFileNotFound;
    RegValue narrow{value->type, value->data};
    if (IsTextType(value->type)) {
      // Text the code page cannot hold is refused rather than read with "?"
      // in its place: a caller could otherwise copy or match a text that is
      // not the one stored.
      const std::optional<std::string> text = Page().Narrow(UnitsOf(value->data));
      if (!text) return kNoUnicodeTranslation;
      narrow.data.assign(text->begin(), text->end());
      if (value->data.size() % 2) narrow.data.push_back(0);  // an odd last byte stays a byte
    }
    if (narrow.data.size() > capacity) return win32_error::kMoreData;
    out = std::move(narrow);
    return win32_error::kSuccess;
  }

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    const std::u16string wide_name = Page().Widen(name);
    if (access_ != RegAccess::All || !Writable(wide_name)) return win32_error::kAccessDenied;
    RegValue value{type, data};
    if (IsTextType(type)) {
      const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
      value.data = BytesOf(Page().Widen(bytes));
    }
    node_.SetValue(wide_name, std::move(value));
    registry_.NotifyChanged(root_);
    return win32_error::kSuccess;
  }

  long DeleteValue(std::string_view name) override {
    if (access_ != RegAccess::All) return win32_error::kAccessDenied;
    const std::u16string wide_name = Page().Widen(name);
    if (!Lookup(name)) return win32_error::kFileNotFound;
    node_.DeleteValue(wide_name);
    registry_.NotifyChanged(root_);
    return win32_error::kSuccess;
  }

  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    if (index >= node_.subkeys.size()) return win32_error::kNoMoreItems;
    auto it = node_.subkeys.begin();
    std::advance(it, index);
    // Windows would hand out "?" for each character the code page lacks, a
    // name that opens a different key or none. The entry fails instead, and
    // every caller skips entries it cannot read.
    const std::optional<std::string> narrow = Page().Narrow(it->second->name);
    if (!narrow) return kNoUnicodeTranslation;
    if (narrow->size() + 1 > capacity) return win32_error::kMoreData;
    name = *narrow;
    return win32_error::kSuccess;
  }

  long QuerySubkeyCount(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(node_.subkeys.size());
    return win32_error::kSuccess;
  }

 private:
  const CodePage& Page() const { return registry_.code_page(); }

  // The value a narrow name names; a stored name the code page cannot hold
  // is never the one meant, even where upper-casing makes the two equal.
  const RegValue* Lookup(std::string_view name) const {
    const std::u16string wide_name = Page().Widen(name);
    for (const auto& [value_name, value] : node_.values) {
      if (SameName(value_name, wide_name) && Page().Narrow(value_name)) return &value;
    }
    return nullptr;
  }

  bool Writable(const std::u16string& wide_name) const {
    for (const auto& [value_name, value] : node_.values) {
      if (SameName(value_name, wide_name)) return Page().Narrow(value_name).has_value();
    }
    return true;
  }

  MemoryRegistry& registry_;
  RegRoot root_;
  RegistryNode& node_;
  RegAccess access_;
};

}  // namespace

MemoryRegistry::MemoryRegistry(const CodePage& code_page) : code_page_(code_page) {}

RegistryNode& MemoryRegistry::RootNode(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return current_user_;
    case RegRoot::LocalMachine: return local_machine_;
    case RegRoot::ClassesRoot: {
      RegistryNode& software = local_machine_.AddSubkey(u"Software");
      return software.AddSubkey(u"Classes");
    }
  }
  return current_user_;
}

bool MemoryRegistry::WidePath(std::string_view path, std::vector<std::u16string>& parts) const {
  parts = SplitKeyPath(code_page_.Widen(path));
  return parts.size() <= kMaxKeyDepth;
}

bool MemoryRegistry::NarrowCallerMayUse(const RegistryNode& node) const {
  return code_page_.Narrow(node.name).has_value();
}

RegistryNode* MemoryRegistry::FindFrom(RegistryNode* node,
                                       const std::vector<std::u16string>& parts) const {
  for (const std::u16string& part : parts) {
    node = node->FindSubkey(part);
    if (!node || !NarrowCallerMayUse(*node)) return nullptr;
  }
  return node;
}

RegistryNode* MemoryRegistry::Find(RegRoot root, std::string_view path) {
  std::vector<std::u16string> parts;
  if (!WidePath(path, parts)) return nullptr;
  if (root == RegRoot::ClassesRoot) {
    RegistryNode* software = local_machine_.FindSubkey(u"Software");
    RegistryNode* classes = software ? software->FindSubkey(u"Classes") : nullptr;
    return classes ? FindFrom(classes, parts) : nullptr;
  }
  return FindFrom(&RootNode(root), parts);
}

long MemoryRegistry::Open(RegRoot root, std::string_view path, RegAccess access,
                          std::unique_ptr<RegistryKey>& key) {
  RegistryNode* node = Find(root, path);
  if (!node) return win32_error::kFileNotFound;
  key = std::make_unique<MemoryKey>(*this, root, *node, access);
  return win32_error::kSuccess;
}

long MemoryRegistry::Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) {
  std::vector<std::u16string> parts;
  if (!WidePath(path, parts)) return win32_error::kInvalidParameter;
  RegistryNode* node = &RootNode(root);
  bool created = false;
  for (const std::u16string& part : parts) {
    RegistryNode* next = node->FindSubkey(part);
    if (next && !NarrowCallerMayUse(*next)) return win32_error::kAccessDenied;
    if (!next) {
      next = &node->AddSubkey(part);
      created = true;
    }
    node = next;
  }
  if (created) NotifyChanged(root == RegRoot::ClassesRoot ? RegRoot::LocalMachine : root);
  key = std::make_unique<MemoryKey>(*this, root, *node, RegAccess::All);
  return win32_error::kSuccess;
}

long MemoryRegistry::DeleteKey(RegRoot root, std::string_view path) {
  std::vector<std::u16string> parts;
  if (!WidePath(path, parts) || parts.empty()) return win32_error::kAccessDenied;
  const std::u16string last = parts.back();
  parts.pop_back();
  RegistryNode* parent = Find(root, "");
  parent = parent ? FindFrom(parent, parts) : nullptr;
  RegistryNode* node = parent ? FindFrom(parent, {last}) : nullptr;
  if (!node) return win32_error::kFileNotFound;
  if (!parent->RemoveLeafSubkey(last)) return win32_error::kAccessDenied;
  NotifyChanged(root == RegRoot::ClassesRoot ? RegRoot::LocalMachine : root);
  return win32_error::kSuccess;
}

}  // namespace quillbank
