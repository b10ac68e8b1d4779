#include "clients/account_store/store_conventions.h"

#include "core/input_safety.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"

namespace quillbank::outlook {
namespace {

// Large enough for any value an account key holds; used only to remember a
// value before it is replaced.
constexpr std::size_t kJournalCapacity = 64 * 1024;

}  // namespace

std::string KeyPathOf(std::string_view base, std::string_view key_name) {
  std::string path(base);
  path += key_name;
  path += '\\';
  return path;
}

std::string KeyNameOf(std::string_view key_path) {
  while (!key_path.empty() && key_path.back() == '\\') key_path.remove_suffix(1);
  const std::size_t slash = key_path.rfind('\\');
  return std::string(slash == std::string_view::npos ? key_path : key_path.substr(slash + 1));
}

bool IsSingleKeyName(std::string_view key_name) {
  return !key_name.empty() && key_name.find('\\') == std::string_view::npos;
}

std::optional<std::string> ReadStoreText(RegistryKey& key, std::string_view name) {
  return ReadText(key, name, kValueCapacity);
}

std::string AccountNameProblem(std::string_view prefix, std::string_view address,
                               std::string_view display_name) {
  if (address.empty()) return "the address is empty";
  if (HasControlCharacter(address) || address.find_first_of(" \"\\<>[]") != std::string_view::npos) {
    return "the address holds a blank, a double quote, a backslash, \"<\", \">\", \"[\", \"]\" or "
           "a control character";
  }
  if (HasControlCharacter(prefix) || prefix.find('\\') != std::string_view::npos) {
    return "the account prefix holds a backslash or a control character";
  }
  if (prefix.size() + address.size() >= kNameCapacity) {
    return "the account name is " + std::to_string(kNameCapacity) + " characters or longer";
  }
  if (HasControlCharacter(display_name)) return "the display name holds a control character";
  return "";
}

long ValueJournal::CreateKey(const std::string& key_path, std::unique_ptr<RegistryKey>& key) {
  std::string path;
  for (const std::string& part : SplitKeyPath(key_path)) {
    path += part;
    path += '\\';
    if (!KeyExists(registry_, kStoreRoot, path)) created_keys_.push_back(path);
  }
  return registry_.Create(kStoreRoot, key_path, key);
}

long ValueJournal::Set(RegistryKey& key, const std::string& key_path, std::string_view name,
                       std::uint32_t type, const std::vector<std::uint8_t>& data) {
  Entry entry{key_path, std::string(name), std::nullopt};
  RegValue before;
  if (key.QueryValue(name, kJournalCapacity, before) == win32_error::kSuccess) {
    entry.before = std::move(before);
  }
  entries_.push_back(std::move(entry));
  return key.SetValue(name, type, data);
}

long ValueJournal::SetText(RegistryKey& key, const std::string& key_path, std::string_view name,
                           std::string_view text) {
  return Set(key, key_path, name, reg_type::kSz, SzData(text));
}

long ValueJournal::SetDword(RegistryKey& key, const std::string& key_path, std::string_view name,
                            std::uint32_t number) {
  return Set(key, key_path, name, reg_type::kDword, DwordData(number));
}

void ValueJournal::Undo() {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    std::unique_ptr<RegistryKey> key;
    if (registry_.Open(kStoreRoot, it->key_path, RegAccess::All, key) != win32_error::kSuccess) {
      continue;
    }
    if (it->before) {
      key->SetValue(it->name, it->before->type, it->before->data);
    } else {
      key->DeleteValue(it->name);
    }
  }
  entries_.clear();
  for (auto it = created_keys_.rbegin(); it != created_keys_.rend(); ++it) {
    (void)registry_.DeleteKey(kStoreRoot, *it);
  }
  created_keys_.clear();
}

}  // namespace quillbank::outlook
