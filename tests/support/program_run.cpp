#include "tests/support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quillbank::testing {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// In the child after fork: its own process group, the launch's environment
// and folder, then the program. Never returns.
[[noreturn]] void ExecLaunch(const ProcessLaunch& launch) {
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

}  // namespace

ProgramRun RunProcess(const ProcessLaunch& launch) {
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
    ExecLaunch(launch);
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
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

ProgramRun RunNativeProgram(const std::filesystem::path& machine, const std::string& program,
                            const std::vector<std::string>& args,
                            const EnvironmentAdditions& environment, std::chrono::seconds timeout) {
  ProcessLaunch launch{{program}, {}, {}, {}, timeout};
  if (machine.empty()) {
    launch.unset.push_back("QUILLBANK_MACHINE");
  } else {
    launch.set.emplace_back("QUILLBANK_MACHINE", machine.string());
  }
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.set.insert(launch.set.end(), environment.begin(), environment.end());
  return RunProcess(launch);
}

BackgroundProcess::BackgroundProcess(const ProcessLaunch& launch) {
  const pid_t pid = fork();
  if (pid < 0) return;
  if (pid == 0) {
    setpgid(0, 0);
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null_fd, fd);
      if (null_fd > STDERR_FILENO) close(null_fd);
    }
    ExecLaunch(launch);
  }
  setpgid(pid, pid);
  pid_ = pid;
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ <= 0 || ended_) return;
  kill(-pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
}

bool BackgroundProcess::WaitForEnd(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return false;
  if (ended_) return true;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    usleep(50 * 1000);
  }
  ended_ = true;
  if (WIFEXITED(status)) exit_code_ = WEXITSTATUS(status);
  return true;
}

void BackgroundProcess::SignalGroup(int signal) const {
  if (pid_ > 0) kill(-pid_, signal);
}

}  // namespace quillbank::testing
