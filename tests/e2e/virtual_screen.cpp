#include "tests/e2e/virtual_screen.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/program_run.h"

namespace quillbank::e2e {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kImport = "/usr/bin/import";

}  // namespace

bool VirtualScreenAvailable() { return access(kXvfb, X_OK) == 0 && access(kImport, X_OK) == 0; }

VirtualScreen::VirtualScreen() {
  if (!VirtualScreenAvailable()) return;
  int ready[2];
  if (pipe(ready) != 0) return;
  const pid_t pid = fork();
  if (pid < 0) {
    close(ready[0]);
    close(ready[1]);
    return;
  }
  if (pid == 0) {
    setpgid(0, 0);
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null_fd, fd);
    }
    close(ready[0]);
    // Xvfb picks a free display and writes its number here once it serves.
    const std::string fd = std::to_string(ready[1]);
    execl(kXvfb, kXvfb, "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
          "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_ = pid;
  close(ready[1]);
  std::string number;
  pollfd polled{ready[0], POLLIN, 0};
  while (poll(&polled, 1, 15000) > 0) {
    char c;
    if (read(ready[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(ready[0]);
  if (!number.empty()) display_ = ":" + number;
}

VirtualScreen::~VirtualScreen() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

bool VirtualScreen::Screenshot(const std::filesystem::path& png, const ScreenArea& area) const {
  const std::string crop = std::to_string(area.width) + "x" + std::to_string(area.height) + "+" +
                           std::to_string(area.x) + "+" + std::to_string(area.y);
  const testing::ProgramRun run = testing::RunNativeProgram(
      "", kImport, {"-display", display_, "-window", "root", "-crop", crop, "+repage", png.string()});
  return run.exit_code == 0 && std::filesystem::exists(png);
}

}  // namespace quillbank::e2e
