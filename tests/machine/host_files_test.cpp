// Host files read whole in one go, and compared a piece at a time: sizes the
// system knows, sizes it does not (files below /proc say 0), and files larger
// than one piece or than the size where huge pages are advised.
#include <gtest/gtest.h>

#include <string>

#include "env/platform/posix/host_files.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

TEST(HostFilesTest, AFileIsReadWholeWhateverItsSize) {
  testing::TemporaryFolder folder("host-files");
  const std::string sizes[] = {"", "x", std::string(65537, 'a'), std::string(9 << 20, 'b') + "end"};
  for (const std::string& bytes : sizes) {
    SCOPED_TRACE(bytes.size());
    testing::WriteHostFile(folder / "file", bytes);
    EXPECT_EQ(ReadHostFile(folder / "file"), bytes);
    EXPECT_TRUE(HostFileHolds(folder / "file", bytes));
    if (!bytes.empty()) {
      EXPECT_FALSE(HostFileHolds(folder / "file", bytes.substr(1)));
      EXPECT_FALSE(HostFileHolds(folder / "file", bytes.substr(0, bytes.size() - 1)));
      std::string other = bytes;
      other.back() ^= 1;
      EXPECT_FALSE(HostFileHolds(folder / "file", other));
    }
    EXPECT_FALSE(HostFileHolds(folder / "file", bytes + "more"));
  }
  EXPECT_EQ(ReadHostFile(folder / "missing"), std::nullopt);
  EXPECT_FALSE(HostFileHolds(folder / "missing", ""));
}

TEST(HostFilesTest, AFileThatGivesNoSizeIsReadToItsEnd) {
  const std::optional<std::string> status = ReadHostFile("/proc/self/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->find("Name:"), std::string::npos);
  EXPECT_NE(status->find("VmRSS:"), std::string::npos);  // well past the first line
}

}  // namespace
}  // namespace quillbank
