#include "env/platform/machine/machine_environment.h"

#include <utility>

#include "env/platform/registry_tree.h"
#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr std::size_t kMaxVariableLength = 32767;
constexpr int kMaxExpansionDepth = 4;

}  // namespace

std::optional<std::string> MachineEnvironment::Get(std::string_view name) {
  std::optional<std::string> found = Stored(name);
  if (auto value = ProgramFiles(name)) found = std::move(value);
  if (found) return Expand(*found, 0);
  return found;
}

// The variable as the registry's environment keys hold it; the user's
// volatile settings over the user's, the user's over the machine's.
std::optional<std::string> MachineEnvironment::Stored(std::string_view name) {
  const std::pair<RegRoot, const char*> sources[] = {
      {RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Session Manager\\Environment"},
      {RegRoot::CurrentUser, "Environment"},
      {RegRoot::CurrentUser, "Volatile Environment"}};
  std::optional<std::string> found;
  for (const auto& [root, path] : sources) {
    if (auto value = ReadText(registry_, root, path, RegAccess::Read, name, kMaxVariableLength)) {
      found = std::move(value);
    }
  }
  return found;
}

// ProgramFiles and ProgramFiles(x86), which Windows takes from the machine's
// CurrentVersion key whatever the environment keys say.
std::optional<std::string> MachineEnvironment::ProgramFiles(std::string_view name) {
  const char* value_name = SameName(name, "PROGRAMFILES")        ? "ProgramFilesDir"
                           : SameName(name, "PROGRAMFILES(X86)") ? "ProgramFilesDir (x86)"
                                                                 : nullptr;
  if (!value_name) return std::nullopt;
  return ReadText(registry_, RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                  RegAccess::Read, value_name, kMaxVariableLength);
}

// Expands %NAME% references, as Windows does for REG_EXPAND_SZ values.
std::string MachineEnvironment::Expand(const std::string& text, int depth) {
  if (depth > kMaxExpansionDepth) return text;
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      out += text.substr(pos);
      break;
    }
    out += text.substr(pos, open - pos);
    const std::string name = text.substr(open + 1, close - open - 1);
    auto value = name.empty() ? std::nullopt : Get(name);
    out += value ? Expand(*value, depth + 1) : text.substr(open, close - open + 1);
    pos = close + 1;
  }
  return out;
}

}  // namespace quillbank
