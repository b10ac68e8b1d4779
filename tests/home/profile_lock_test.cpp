// Whether a profile folder counts as held by a running Thunderbird, over real
// lock files: an fcntl lock another process holds on .parentlock, and the
// "lock" link with its address and process id.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "clients/thunderbird/thunderbird_client.h"
#include "env/platform/home/home_system.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// A child process holding a write lock on a file, as Thunderbird holds
// .parentlock, until the holder goes. fcntl locks are the process's own, so
// only another process's lock shows.
class LockHolder final {
 public:
  explicit LockHolder(const fs::path& file) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0644);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0) ::_exit(1);
      (void)!::write(ready[1], "x", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    locked_ = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }
  ~LockHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

// The id of a process that has ended and been collected.
pid_t EndedProcessId() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST(ProfileLockTest, AProfileIsInUseWhileALiveProcessOrAnotherHostHoldsIt) {
  const std::string own = std::to_string(::getpid());
  const std::string ended = std::to_string(EndedProcessId());
  struct Case {
    const char* what;
    std::function<void(const fs::path& profile)> lay_out;
    bool held_by_child;  // .parentlock locked by another process
    bool in_use;
  };
  const auto link_to = [](const std::string& target) {
    return [target](const fs::path& profile) { fs::create_symlink(target, profile / "lock"); };
  };
  const auto nothing = [](const fs::path&) {};
  const Case cases[] = {
      {"no lock files", nothing, false, false},
      {".parentlock locked by a running Thunderbird", nothing, true, true},
      {".parentlock left unlocked",
       [](const fs::path& profile) { testing::WriteHostFile(profile / ".parentlock", ""); }, false,
       false},
      {"a FIFO where .parentlock should be, which must not block",
       [](const fs::path& profile) { ::mkfifo((profile / ".parentlock").c_str(), 0644); }, false,
       false},
      {"a link naming this process", link_to("127.0.0.1:+" + own), false, true},
      {"a link without the fcntl mark", link_to("127.0.0.1:" + own), false, true},
      {"a link a crash left behind", link_to("127.0.0.1:+" + ended), false, false},
      {"a link from another host", link_to("10.1.2.3:+" + ended), false, true},
      {"a link from another host's init", link_to("10.1.2.3:+1"), false, true},
      {"a link that is no address and id", link_to("garbage"), false, true},
      {"a link without an id", link_to("127.0.0.1:+"), false, true},
      {"a lock that is a plain file",
       [](const fs::path& profile) { testing::WriteHostFile(profile / "lock", "127.0.0.1:+1"); },
       false, false},
  };
  const testing::TemporaryFolder root("profile-lock");
  std::string error;
  const std::unique_ptr<SystemServices> home = OpenUserHome(root.path().string(), std::nullopt, error);
  ASSERT_TRUE(home) << error;
  const auto in_use = [&](const fs::path& folder) {
    return thunderbird::ProfileFolderInUse(home->platform(), folder.string());
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path profile = root / ("profile" + std::to_string(++number));
    fs::create_directories(profile);
    c.lay_out(profile);
    std::unique_ptr<LockHolder> holder;
    if (c.held_by_child) {
      holder = std::make_unique<LockHolder>(profile / ".parentlock");
      ASSERT_TRUE(holder->locked());
    }
    const bool had_parent_lock = fs::exists(profile / ".parentlock");
    EXPECT_EQ(in_use(profile), c.in_use);
    EXPECT_EQ(fs::exists(profile / ".parentlock"), had_parent_lock) << "asking made a lock file";
  }
  EXPECT_FALSE(in_use(root / "missing"));
}

}  // namespace
}  // namespace quillbank
