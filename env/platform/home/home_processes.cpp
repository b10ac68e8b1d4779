#include "env/platform/home/home_processes.h"

#include <sys/types.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/ascii_text.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDeletedMark = " (deleted)";

// The real uid from /proc/<pid>/status ("Uid:\treal\teffective\t...").
std::optional<uid_t> RealUid(int pid) {
  const auto status = ReadProcFile(pid, "status");
  if (!status) return std::nullopt;
  const std::string_view text = *status;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!StartsWith(line, "Uid:")) continue;
    line.remove_prefix(4);
    while (!line.empty() && IsAsciiSpace(line.front())) line.remove_prefix(1);
    unsigned long uid = 0;
    const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), uid);
    if (error == std::errc() && rest != line.data()) return static_cast<uid_t>(uid);
    return std::nullopt;
  }
  return std::nullopt;
}

// The file name of the process's executable, or its command name where
// that cannot be read. A program whose file was replaced while it ran (a
// package upgrade under a running Thunderbird) shows as "name (deleted)";
// it is still that program.
std::string ExecutableName(int pid, const std::string& command) {
  std::error_code error;
  std::string target =
      fs::read_symlink(fs::path("/proc") / std::to_string(pid) / "exe", error).filename().string();
  if (error || target.empty()) return command;
  if (target.size() > kDeletedMark.size() && EndsWith(target, kDeletedMark)) {
    target.resize(target.size() - kDeletedMark.size());
  }
  return target;
}

}  // namespace

std::vector<ProcessEntry> HomeProcesses::List() {
  const uid_t user = ::getuid();
  return ListHostProcesses([user](int pid, const std::string& command) -> std::optional<std::string> {
    if (RealUid(pid) != user) return std::nullopt;
    return ExecutableName(pid, command);
  });
}

bool HomeProcesses::Start(const std::string& command_line) {
  return StartDetached([&] {
    ::execl("/bin/sh", "sh", "-c", command_line.c_str(), static_cast<char*>(nullptr));
  });
}

}  // namespace quillbank
