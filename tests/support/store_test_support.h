// Helpers for the account-store tests: a registry that fails chosen writes,
// and shorthands for reading an account key back in writing order.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "env/forwarding_services.h"
#include "env/platform/platform.h"
#include "env/platform/registry_tree.h"

namespace quillbank::testing {

// Passes every call to `inner`, except that setting a value whose name is in
// `failing_values` fails with 5 (access denied) and changes nothing, and that
// creating a key whose path contains `failing_create` fails with 5.
class FailingRegistry final : public Registry {
 public:
  explicit FailingRegistry(Registry& inner) : inner_(inner) {}

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override {
    std::unique_ptr<RegistryKey> opened;
    const long result = inner_.Open(root, path, access, opened);
    if (result == 0) key = std::make_unique<Key>(std::move(opened), failing_values);
    return result;
  }
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    if (!failing_create.empty() && std::string(path).find(failing_create) != std::string::npos) {
      return 5;
    }
    std::unique_ptr<RegistryKey> created;
    const long result = inner_.Create(root, path, created);
    if (result == 0) key = std::make_unique<Key>(std::move(created), failing_values);
    return result;
  }
  long DeleteKey(RegRoot root, std::string_view path) override {
    return inner_.DeleteKey(root, path);
  }

  std::set<std::string> failing_values;
  std::string failing_create;

 private:
  class Key final : public ForwardingKey {
   public:
    Key(std::unique_ptr<RegistryKey> inner, const std::set<std::string>& failing)
        : ForwardingKey(std::move(inner)), failing_(failing) {}
    long SetValue(std::string_view name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override {
      if (failing_.count(std::string(name))) return 5;
      return key_->SetValue(name, type, data);
    }

   private:
    const std::set<std::string>& failing_;
  };
  Registry& inner_;
};

// A value as "name=type:data", text shown as text and DWORDs in decimal, so
// a whole account key compares as one list in the order it was written.
inline std::vector<std::string> DescribeValues(MemoryRegistry& registry, RegRoot root,
                                               const std::string& path) {
  std::vector<std::string> out;
  RegistryNode* node = registry.Find(root, path);
  std::unique_ptr<RegistryKey> key;
  if (!node || registry.Open(root, path, RegAccess::Read, key) != 0) return out;
  for (const auto& [wide_name, stored] : node->values) {
    // Read back through the narrow API, as the program reads it.
    const std::string name = Windows1252().Narrow(wide_name).value_or("<not 1252>");
    RegValue value;
    if (key->QueryValue(name, 1 << 16, value) != 0) value = stored;
    std::string text = name + "=";
    if (value.type == reg_type::kSz) {
      // Stored with exactly one NUL, at the end.
      const bool one_nul = !value.data.empty() && value.data.back() == 0;
      text += std::string("sz:") + std::string(value.data.begin(), value.data.end() - (one_nul ? 1 : 0));
      if (!one_nul) text += "<no NUL>";
    } else if (value.type == reg_type::kDword && value.data.size() == 4) {
      const std::uint32_t n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                              static_cast<std::uint32_t>(value.data[3]) << 24;
      text += "dword:" + std::to_string(n);
    } else {
      text += "type " + std::to_string(value.type);
    }
    out.push_back(text);
  }
  return out;
}

}  // namespace quillbank::testing
