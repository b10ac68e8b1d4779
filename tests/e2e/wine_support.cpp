#include "tests/e2e/wine_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <system_error>

#include "tests/support/machine_fixture.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ProcessLaunch;
using testing::RunProcess;

constexpr const char* kWine = "/usr/lib/wine/wine64";
constexpr const char* kWineServer = "/usr/lib/wine/wineserver";

EnvironmentAdditions WineEnvironment(const fs::path& prefix) {
  return {{"WINEPREFIX", prefix.string()},
          {"WINEDEBUG", "-all"},
          // A fixed locale: Wine takes the ANSI code page from it (1252 for
          // C.UTF-8) and reads the command line as UTF-8, whatever the host has.
          {"LC_ALL", "C.UTF-8"},
          // No Mono or Gecko installer dialogs while a prefix is made.
          {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

// wine64 running `program` in `prefix` with `args`, the environment additions
// after Wine's own.
ProcessLaunch WineLaunch(const fs::path& prefix, const std::string& program,
                         const std::vector<std::string>& args, const EnvironmentAdditions& environment,
                         std::chrono::seconds timeout, const fs::path& folder) {
  ProcessLaunch launch{{kWine, program}, WineEnvironment(prefix), {}, folder, timeout};
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.set.insert(launch.set.end(), environment.begin(), environment.end());
  return launch;
}

// Folders of a prefix that hold only the system's own files: shared with the
// template by hard links.
bool SharedByLink(const fs::path& relative) {
  const std::string text = relative.generic_string();
  return text.rfind("drive_c/windows/system32/", 0) == 0 ||
         text.rfind("drive_c/windows/winsxs/", 0) == 0;
}

class Template {
 public:
  Template() {
    if (!WineAvailable()) return;
    const fs::path folder = testing::MakeTemporaryFolder("wine-template");
    if (folder.empty()) return;
    const ProgramRun booted =
        RunProcess({{kWine, "wineboot", "-i"}, WineEnvironment(folder), {}, {}, std::chrono::seconds(300)});
    EndWineServer(folder);
    if (booted.exit_code != 0 || !fs::exists(folder / "system.reg")) {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
      return;
    }
    path_ = folder;
  }
  ~Template() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

bool WineAvailable() { return access(kWine, X_OK) == 0 && access(kWineServer, X_OK) == 0; }

fs::path WindowsProgram() {
  if (const char* named = getenv("QUILLBANK_WINDOWS_PROGRAM"); named && *named) {
    return fs::exists(named) ? fs::path(named) : fs::path();
  }
#ifdef QUILLBANK_SOURCE_DIR
  const fs::path built = fs::path(QUILLBANK_SOURCE_DIR) / "build" / "win64" / "quillbank.exe";
  if (fs::exists(built)) return built;
#endif
  return {};
}

const fs::path& TemplatePrefix() {
  static const Template made;
  return made.path();
}

bool CopyTemplatePrefix(const fs::path& destination) {
  const fs::path& source = TemplatePrefix();
  if (source.empty()) return false;
  std::error_code error;
  fs::create_directory(destination, error);
  if (error) return false;
  for (auto it = fs::recursive_directory_iterator(source, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    // Lexically: the links in a prefix (users' folders, dosdevices) are not
    // to be followed.
    const fs::path relative = it->path().lexically_relative(source);
    const fs::path target = destination / relative;
    const fs::file_status status = it->symlink_status(error);
    if (error) return false;
    if (fs::is_symlink(status)) {
      // dosdevices/c: -> ../drive_c, z: -> /: copied as links, never followed.
      fs::copy_symlink(it->path(), target, error);
      it.disable_recursion_pending();
    } else if (fs::is_directory(status)) {
      fs::create_directory(target, it->path(), error);
    } else if (SharedByLink(relative)) {
      fs::create_hard_link(it->path(), target, error);
    } else {
      fs::copy_file(it->path(), target, error);
      if (!error) fs::last_write_time(target, fs::last_write_time(it->path()), error);
    }
    if (error) return false;
  }
  return !error;
}

ScenarioPrefix::ScenarioPrefix() {
  if (TemplatePrefix().empty()) return;
  const fs::path folder = testing::MakeTemporaryFolder("wine-scenario");
  if (folder.empty()) return;
  std::error_code ignored;
  fs::remove(folder, ignored);  // the copy makes it anew
  if (!CopyTemplatePrefix(folder)) {
    fs::remove_all(folder, ignored);
    return;
  }
  path_ = folder;
}

fs::path ScenarioPrefix::UserFolder() const {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(DriveC() / "users", error)) {
    if (entry.path().filename() != "Public") return entry.path();
  }
  return {};
}

ScenarioPrefix::~ScenarioPrefix() {
  if (path_.empty()) return;
  EndWineServer(path_);
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void EndWineServer(const fs::path& prefix) {
  const EnvironmentAdditions environment = WineEnvironment(prefix);
  // -k ends the server's processes and the server, which writes the hives
  // first; -w returns once it has gone.
  (void)RunProcess({{kWineServer, "-k"}, environment, {}, {}, std::chrono::seconds(60)});
  (void)RunProcess({{kWineServer, "-w"}, environment, {}, {}, std::chrono::seconds(60)});
}

ProgramRun RunWindowsProgram(const fs::path& prefix, const std::string& program,
                             const std::vector<std::string>& args,
                             const EnvironmentAdditions& environment, std::chrono::seconds timeout) {
  const fs::path drive_c = prefix / "drive_c";
  ProgramRun run = RunProcess(WineLaunch(prefix, program, args, environment, timeout,
                                         fs::is_directory(drive_c) ? drive_c : fs::path()));
  EndWineServer(prefix);
  return run;
}

ProgramRun RunWindowsProgramBeside(const fs::path& prefix, const std::string& program,
                                   const std::vector<std::string>& args,
                                   const EnvironmentAdditions& environment,
                                   std::chrono::seconds timeout) {
  return RunProcess(WineLaunch(prefix, program, args, environment, timeout, prefix / "drive_c"));
}

BackgroundProgram::BackgroundProgram(const fs::path& prefix, const std::string& program,
                                     const std::vector<std::string>& args,
                                     const EnvironmentAdditions& environment)
    : process_(WineLaunch(prefix, program, args, environment, {}, prefix / "drive_c")) {}

std::optional<int> BackgroundProgram::Wait(std::chrono::milliseconds timeout) {
  if (!process_.WaitForEnd(timeout)) return std::nullopt;
  return process_.exit_code();
}

}  // namespace quillbank::e2e
