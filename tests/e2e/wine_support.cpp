#include "tests/e2e/wine_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <system_error>

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWine = "/usr/lib/wine/wine64";
constexpr const char* kWineServer = "/usr/lib/wine/wineserver";

struct Launch {
  std::vector<std::string> argv;
  EnvironmentAdditions set;
  std::vector<std::string> unset;
  fs::path folder;  // working folder; unchanged when empty
  std::chrono::seconds timeout{60};
};

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Starts argv[0] (looked up in PATH when it has no slash) in its own process
// group, collects standard output and error until it ends or the time is up,
// then kills the whole group if it is still there.
ProgramRun RunProcess(const Launch& launch) {
  ProgramRun run;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0) return run;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return run;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    return run;
  }
  if (pid == 0) {
    setpgid(0, 0);
    const int null_in = open("/dev/null", O_RDONLY);
    if (null_in >= 0) dup2(null_in, STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], null_in}) {
      if (fd > STDERR_FILENO) close(fd);
    }
    for (const std::string& name : launch.unset) unsetenv(name.c_str());
    for (const auto& [name, value] : launch.set) setenv(name.c_str(), value.c_str(), 1);
    if (!launch.folder.empty() && chdir(launch.folder.c_str()) != 0) _exit(126);
    std::vector<std::string> copies = launch.argv;
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);  // also here, so the kill below never misses the group
  close(out_pipe[1]);
  close(err_pipe[1]);

  const auto deadline = std::chrono::steady_clock::now() + launch.timeout;
  int fds[2] = {out_pipe[0], err_pipe[0]};
  std::string* sinks[2] = {&run.out, &run.err};
  int status = 0;
  bool exited = false;
  // Reads until the program has exited and its output is drained. Processes
  // it left behind (a wineserver, a started client) may hold the pipes open,
  // so the end of the output is not waited for once the program is gone.
  while (fds[0] >= 0 || fds[1] >= 0) {
    if (!exited) exited = waitpid(pid, &status, WNOHANG) == pid;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (!exited && left.count() <= 0) {
      run.timed_out = true;
      break;
    }
    pollfd polled[2];
    for (int i = 0; i < 2; ++i) polled[i] = pollfd{fds[i], POLLIN, 0};
    const int wait_ms = exited ? 0 : static_cast<int>(std::min<long long>(left.count(), 50));
    const int ready = poll(polled, 2, wait_ms);
    if (ready < 0 && errno != EINTR) break;
    if (ready == 0 && exited) break;  // drained
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || !(polled[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i], buffer, sizeof(buffer));
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseFd(fds[i]);
      }
    }
  }
  CloseFd(fds[0]);
  CloseFd(fds[1]);
  if (!exited && !run.timed_out) {
    // Both outputs closed: the program is ending; wait for it within the time.
    while (!(exited = waitpid(pid, &status, WNOHANG) == pid)) {
      if (std::chrono::steady_clock::now() >= deadline) {
        run.timed_out = true;
        break;
      }
      usleep(10 * 1000);
    }
  }
  if (run.timed_out) {
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
    return run;
  }
  if (!run.timed_out && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

EnvironmentAdditions WineEnvironment(const fs::path& prefix) {
  return {{"WINEPREFIX", prefix.string()},
          {"WINEDEBUG", "-all"},
          // A fixed locale: Wine takes the ANSI code page from it (1252 for
          // C.UTF-8) and reads the command line as UTF-8, whatever the host has.
          {"LC_ALL", "C.UTF-8"},
          // No Mono or Gecko installer dialogs while a prefix is made.
          {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

fs::path NewTemporaryFolder(const char* kind) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillbank-" + kind + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
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
    const fs::path folder = NewTemporaryFolder("wine-template");
    if (folder.empty()) return;
    Launch boot{{kWine, "wineboot", "-i"}, WineEnvironment(folder), {}, {}, std::chrono::seconds(300)};
    const ProgramRun booted = RunProcess(boot);
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
  const fs::path folder = NewTemporaryFolder("wine-scenario");
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
  (void)RunProcess(Launch{{kWineServer, "-k"}, environment, {}, {}, std::chrono::seconds(60)});
  (void)RunProcess(Launch{{kWineServer, "-w"}, environment, {}, {}, std::chrono::seconds(60)});
}

ProgramRun RunWindowsProgram(const fs::path& prefix, const std::string& program,
                             const std::vector<std::string>& args,
                             const EnvironmentAdditions& environment, std::chrono::seconds timeout) {
  const fs::path drive_c = prefix / "drive_c";
  Launch launch{{kWine, program}, WineEnvironment(prefix), {}, fs::is_directory(drive_c) ? drive_c : fs::path(), timeout};
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.set.insert(launch.set.end(), environment.begin(), environment.end());
  ProgramRun run = RunProcess(launch);
  EndWineServer(prefix);
  return run;
}

ProgramRun RunWindowsProgramBeside(const fs::path& prefix, const std::string& program,
                                   const std::vector<std::string>& args,
                                   const EnvironmentAdditions& environment,
                                   std::chrono::seconds timeout) {
  Launch launch{{kWine, program}, WineEnvironment(prefix), {}, prefix / "drive_c", timeout};
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.set.insert(launch.set.end(), environment.begin(), environment.end());
  return RunProcess(launch);
}

BackgroundProgram::BackgroundProgram(const fs::path& prefix, const std::string& program,
                                     const std::vector<std::string>& args,
                                     const EnvironmentAdditions& environment) {
  std::vector<std::string> argv = {kWine, program};
  argv.insert(argv.end(), args.begin(), args.end());
  EnvironmentAdditions set = WineEnvironment(prefix);
  set.insert(set.end(), environment.begin(), environment.end());
  const fs::path folder = prefix / "drive_c";
  const pid_t pid = fork();
  if (pid < 0) return;
  if (pid == 0) {
    setpgid(0, 0);
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null_fd, fd);
      if (null_fd > STDERR_FILENO) close(null_fd);
    }
    for (const auto& [name, value] : set) setenv(name.c_str(), value.c_str(), 1);
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  setpgid(pid, pid);
  pid_ = pid;
}

BackgroundProgram::~BackgroundProgram() {
  if (pid_ <= 0 || ended_) return;
  kill(-pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::optional<int> BackgroundProgram::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0 || ended_) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    usleep(50 * 1000);
  }
  ended_ = true;
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

ProgramRun RunNativeProgram(const fs::path& machine, const std::string& program,
                            const std::vector<std::string>& args,
                            const EnvironmentAdditions& environment, std::chrono::seconds timeout) {
  Launch launch{{program}, {}, {}, {}, timeout};
  if (machine.empty()) {
    launch.unset.push_back("QUILLBANK_MACHINE");
  } else {
    launch.set.emplace_back("QUILLBANK_MACHINE", machine.string());
  }
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.set.insert(launch.set.end(), environment.begin(), environment.end());
  return RunProcess(launch);
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> MaskedLines(const std::string& text) {
  static const std::regex stamp(R"(\d\d:\d\d:\d\d on \d\d/\d\d/\d\d)");
  static const std::regex guid(R"(\{[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}\})");
  std::istringstream in(std::regex_replace(std::regex_replace(text, stamp, "<time>"), guid, "{<guid>}"));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace quillbank::e2e
