#include "env/registry_tree_dump.h"

namespace quillbank {
namespace {
constexpr std::size_t kNameCapacity = 100;
}

void DumpRegistryTree(Registry& registry, const std::string& path, int depth, RunLog& log) {
  std::unique_ptr<RegistryKey> key;
  const long opened = registry.Open(RegRoot::CurrentUser, path, RegAccess::All, key);
  if (opened != win32_error::kSuccess) {
    log << "error: " << opened << kEndLine;
    return;
  }
  std::uint32_t count = 0;
  if (key->QuerySubkeyCount(count) != win32_error::kSuccess) count = 0;
  const std::string indent(static_cast<std::size_t>(depth) * 3, ' ');
  for (std::uint32_t index = 0; index < count; ++index) {
    std::string name;
    const long read = key->EnumKey(index, kNameCapacity, name);
    if (read != win32_error::kSuccess) {
      log << indent << "error: " << read << kEndLine;
      continue;
    }
    log << indent << name << kEndLine;
    DumpRegistryTree(registry, path + "\\" + name, depth + 1, log);
  }
}

}  // namespace quillbank
