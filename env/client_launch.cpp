#include "env/client_launch.h"

#include <algorithm>

namespace quillbank {
namespace {

constexpr std::size_t kPathCapacity = 300;  // bytes, terminator included
constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct Placeholder {
  const char* text;
  const char* variable;
};
// Expanded in this order, the first occurrence of each only.
constexpr Placeholder kPlaceholders[] = {
    {"%ProgramFiles%", "ProgramFiles"},
    {"%ProgramFiles(x86)%", "ProgramFiles(x86)"},
};

ClientProgram NotFound(std::string reason) { return ClientProgram{false, "", std::move(reason)}; }

}  // namespace

std::string AppPathsKey(const ClientDescriptor& client) {
  return std::string(kAppPaths) + client.app_paths_entry + "\\";
}

ClientProgram FindClientProgram(Registry& registry, Environment& environment,
                                const ClientDescriptor& client) {
  const std::string key_path = AppPathsKey(client);
  std::unique_ptr<RegistryKey> key;
  if (registry.Open(RegRoot::LocalMachine, key_path, RegAccess::Read, key) != win32_error::kSuccess) {
    return NotFound("there is no key HKEY_LOCAL_MACHINE\\" + key_path);
  }
  RegValue value;
  const long read = key->QueryValue("", kPathCapacity, value);
  key.reset();
  if (read == win32_error::kMoreData) return NotFound("its program path is 300 bytes or longer");
  if (read != win32_error::kSuccess ||
      (value.type != reg_type::kSz && value.type != reg_type::kExpandSz)) {
    return NotFound("HKEY_LOCAL_MACHINE\\" + key_path + " has no program path");
  }
  const auto end = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
  if (end == value.data.end() && value.data.size() >= kPathCapacity) {
    return NotFound("its program path is 300 bytes or longer");  // no room for the terminator
  }
  std::string path(value.data.begin(), end);
  if (path.empty()) return NotFound("HKEY_LOCAL_MACHINE\\" + key_path + " has no program path");

  for (const Placeholder& placeholder : kPlaceholders) {
    const std::size_t at = path.find(placeholder.text);
    if (at == std::string::npos) continue;
    const std::optional<std::string> folder = environment.Get(placeholder.variable);
    if (!folder) {
      return NotFound(std::string("the environment variable ") + placeholder.variable +
                      " is not set");
    }
    path.replace(at, std::string_view(placeholder.text).size(), *folder);
  }
  return ClientProgram{true, path, ""};
}

std::string LaunchCommandLine(Files& files, const std::string& path) {
  if (path.find(' ') == std::string::npos || path.front() == '"' || !files.FileExists(path)) {
    return path;
  }
  return "\"" + path + "\"";
}

void LaunchClient(Platform& platform, const ClientDescriptor& client, RunLog& log) {
  const ClientProgram program = FindClientProgram(platform.registry, platform.environment, client);
  if (!program.found) {
    log << "Email client not started: " << program.reason << "." << kEndLine;
    log.EmptyLine();
    return;
  }
  log << "Email client path to start is : " << program.path << kEndLine;
  log.EmptyLine();
  if (!platform.processes.Start(LaunchCommandLine(platform.files, program.path))) {
    log.Line("Email client could not be started.");
    log.EmptyLine();
  }
}

}  // namespace quillbank
