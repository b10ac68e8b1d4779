// Descriptors are closed once, by their owner, on every path: the owner
// itself, and the host file services that open files, counted in
// /proc/self/fd before and after, early returns and failures included.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "env/platform/posix/host_files.h"
#include "env/platform/posix/unique_fd.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
       it != std::filesystem::directory_iterator(); ++it) {
    ++count;
  }
  return count;
}

TEST(UniqueFdTest, ClosesWhatItOwnsOnceAndNothingItGaveUp) {
  UniqueFd owner(::open("/dev/null", O_RDONLY));
  const int first = owner.get();
  UniqueFd moved(std::move(owner));
  EXPECT_FALSE(owner.Reset());  // moved from: nothing left to close
  moved = UniqueFd(::open("/dev/null", O_RDONLY));
  EXPECT_FALSE(IsOpen(first));
  const int second = moved.Release();
  EXPECT_TRUE(IsOpen(second));
  EXPECT_TRUE(UniqueFd(second).Reset());
}

TEST(UniqueFdTest, HostFileServicesLeaveNoDescriptorOpen) {
  testing::TemporaryFolder folder("unique-fd");
  testing::WriteHostFile(folder / "small", "abc");
  testing::WriteHostFile(folder / "large", std::string(2 << 20, 'x'));
  const std::size_t before = OpenDescriptors();
  EXPECT_TRUE(ReadHostFile(folder / "small"));
  EXPECT_FALSE(ReadHostFile(folder.path()));  // a folder opens, but cannot be read
  EXPECT_FALSE(HostFileHolds(folder / "small", "abd"));
  EXPECT_FALSE(HostFileHolds(folder / "small", "ab"));
  EXPECT_NE(ViewHostFile(folder / "small"), nullptr);
  EXPECT_NE(ViewHostFile(folder / "large"), nullptr);
  EXPECT_EQ(ReplaceHostFile(folder / "small", "new"), FileWrite::Written);
  EXPECT_EQ(ReplaceHostFile(folder / "missing" / "file", "new"), FileWrite::Failed);
  {
    FileLock lock;
    std::string error;
    ASSERT_TRUE(lock.Open(folder / "lock", error));
    EXPECT_TRUE(lock.Acquire(0));
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace quillbank
