#include "env/platform/registry_tree.h"

#include <algorithm>

namespace quillbank {
namespace {

// Windows-1252 bytes 0x80..0x9F as Unicode code points (0 where undefined).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t UpperCodeUnit(unsigned char c) {
  char16_t u = (c >= 0x80 && c <= 0x9F) ? kCp1252High[c - 0x80] : char16_t{c};
  if (u >= u'a' && u <= u'z') return static_cast<char16_t>(u - 0x20);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 0x20);
  switch (u) {
    case 0x0161: return 0x0160;
    case 0x0153: return 0x0152;
    case 0x017E: return 0x017D;
    case 0x00FF: return 0x0178;
    default: return u;
  }
}

}  // namespace

bool WindowsNameLess::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t ua = UpperCodeUnit(static_cast<unsigned char>(a[i]));
    const char16_t ub = UpperCodeUnit(static_cast<unsigned char>(b[i]));
    if (ua != ub) return ua < ub;
  }
  return a.size() < b.size();
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperCodeUnit(static_cast<unsigned char>(a[i])) !=
        UpperCodeUnit(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

RegistryNode* RegistryNode::FindSubkey(std::string_view name) const {
  const auto it = subkeys.find(std::string(name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

RegistryNode& RegistryNode::AddSubkey(std::string_view name) {
  if (RegistryNode* existing = FindSubkey(name)) return *existing;
  auto node = std::make_unique<RegistryNode>();
  node->name = std::string(name);
  RegistryNode& added = *node;
  subkeys.emplace(std::string(name), std::move(node));
  return added;
}

const RegValue* RegistryNode::FindValue(std::string_view name) const {
  for (const auto& [value_name, value] : values) {
    if (SameName(value_name, name)) return &value;
  }
  return nullptr;
}

void RegistryNode::SetValue(std::string_view name, RegValue value) {
  for (auto& [value_name, existing] : values) {
    if (SameName(value_name, name)) {
      existing = std::move(value);
      return;
    }
  }
  values.emplace_back(std::string(name), std::move(value));
}

bool RegistryNode::DeleteValue(std::string_view name) {
  const auto it = std::find_if(values.begin(), values.end(),
                               [&](const auto& entry) { return SameName(entry.first, name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

namespace {

class MemoryKey final : public RegistryKey {
 public:
  MemoryKey(MemoryRegistry& registry, RegRoot root, RegistryNode& node)
      : registry_(registry),
        root_(root == RegRoot::ClassesRoot ? RegRoot::LocalMachine : root),
        node_(node) {}

  long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
    const RegValue* value = node_.FindValue(name);
    if (!value) return win32_error::kFileNotFound;
    if (value->data.size() > capacity) return win32_error::kMoreData;
    out = *value;
    return win32_error::kSuccess;
  }

  long SetValue(std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    node_.SetValue(name, RegValue{type, data});
    registry_.NotifyChanged(root_);
    return win32_error::kSuccess;
  }

  long DeleteValue(std::string_view name) override {
    if (!node_.DeleteValue(name)) return win32_error::kFileNotFound;
    registry_.NotifyChanged(root_);
    return win32_error::kSuccess;
  }

  long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
    if (index >= node_.subkeys.size()) return win32_error::kNoMoreItems;
    auto it = node_.subkeys.begin();
    std::advance(it, index);
    if (it->second->name.size() + 1 > capacity) return win32_error::kMoreData;
    name = it->second->name;
    return win32_error::kSuccess;
  }

  long QuerySubkeyCount(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(node_.subkeys.size());
    return win32_error::kSuccess;
  }

 private:
  MemoryRegistry& registry_;
  RegRoot root_;
  RegistryNode& node_;
};

}  // namespace

MemoryRegistry::MemoryRegistry() = default;

RegistryNode& MemoryRegistry::RootNode(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return current_user_;
    case RegRoot::LocalMachine: return local_machine_;
    case RegRoot::ClassesRoot: {
      RegistryNode& software = local_machine_.AddSubkey("Software");
      return software.AddSubkey("Classes");
    }
  }
  return current_user_;
}

RegistryNode* MemoryRegistry::Find(RegRoot root, std::string_view path) {
  if (root == RegRoot::ClassesRoot) {
    RegistryNode* software = local_machine_.FindSubkey("Software");
    RegistryNode* classes = software ? software->FindSubkey("Classes") : nullptr;
    if (!classes) return nullptr;
    RegistryNode* node = classes;
    for (const std::string& part : SplitKeyPath(path)) {
      node = node->FindSubkey(part);
      if (!node) return nullptr;
    }
    return node;
  }
  RegistryNode* node = &RootNode(root);
  for (const std::string& part : SplitKeyPath(path)) {
    node = node->FindSubkey(part);
    if (!node) return nullptr;
  }
  return node;
}

long MemoryRegistry::Open(RegRoot root, std::string_view path, RegAccess,
                          std::unique_ptr<RegistryKey>& key) {
  RegistryNode* node = Find(root, path);
  if (!node) return win32_error::kFileNotFound;
  key = std::make_unique<MemoryKey>(*this, root, *node);
  return win32_error::kSuccess;
}

long MemoryRegistry::Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) {
  RegistryNode* node = &RootNode(root);
  bool created = false;
  for (const std::string& part : SplitKeyPath(path)) {
    RegistryNode* next = node->FindSubkey(part);
    if (!next) {
      next = &node->AddSubkey(part);
      created = true;
    }
    node = next;
  }
  if (created) NotifyChanged(root == RegRoot::ClassesRoot ? RegRoot::LocalMachine : root);
  key = std::make_unique<MemoryKey>(*this, root, *node);
  return win32_error::kSuccess;
}

}  // namespace quillbank
