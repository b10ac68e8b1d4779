// How the machine folder replaces a file: what the user set on the file
// survives, what is marked read-only is refused, and nothing a stranger
// planted beside it is written through. Cases that need another user than
// root (who may write anything) run in a child process that drops to
// "nobody".
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "env/platform/posix/host_files.h"
#include "env/platform/machine/machine_folder.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTarget = "C:\\Data\\prefs.js";

using testing::ReadHostFile;
using testing::WriteHostFile;

struct stat StatOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

const struct passwd* Nobody() { return ::getpwnam("nobody"); }

// How the replacement is run: in this process, or in a child as nobody or
// with a file size limit smaller than the new content (a full disk).
enum class Runner { Here, AsNobody, DiskFull };

class ReplaceContentsTest : public ::testing::Test {
 public:  // the cases' set-up and checks reach in
  void SetUp() override {
    fs::permissions(root.path(), fs::perms(0755));
    machine = root / "machine";
    std::string error;
    system = OpenMachineFolder(machine.string(), error);
    ASSERT_TRUE(system) << error;
    data = machine / "drive_c" / "Data";
    fs::create_directories(data);
    target = data / "prefs.js";
  }

  FileWrite Replace(Runner runner, const std::string& bytes) {
    Files& files = system->platform().files;
    if (runner == Runner::Here) return files.ReplaceContents(kTarget, bytes);
    const pid_t child = ::fork();
    if (child == 0) {
      if (runner == Runner::AsNobody &&
          (::setgroups(0, nullptr) != 0 || ::setgid(Nobody()->pw_gid) != 0 ||
           ::setuid(Nobody()->pw_uid) != 0)) {
        ::_exit(100);
      }
      if (runner == Runner::DiskFull) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
        const rlimit limit{1, 1};  // shorter than any content written here
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      ::_exit(static_cast<int>(files.ReplaceContents(kTarget, bytes)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 100) << status;
    return static_cast<FileWrite>(WEXITSTATUS(status));
  }

  // The names in the Data folder other than the ones the case made.
  std::vector<std::string> Leftovers(const std::vector<std::string>& made) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(data)) {
      const std::string name = entry.path().filename().string();
      if (std::find(made.begin(), made.end(), name) == made.end()) names.push_back(name);
    }
    return names;
  }

  const testing::TemporaryFolder root{"replace"};
  fs::path machine;
  fs::path data;
  fs::path target;
  std::unique_ptr<SystemServices> system;
};

TEST_F(ReplaceContentsTest, KeepsWhatTheUserSetOnTheFileAndRefusesWhatIsReadOnly) {
  const bool root_user = ::geteuid() == 0;
  if (!root_user || !Nobody()) GTEST_SKIP() << "needs root and a user named nobody";
  const uid_t nobody = Nobody()->pw_uid;
  struct Case {
    const char* name;
    Runner runner;
    std::function<void(ReplaceContentsTest&)> arrange;
    FileWrite expected;
    std::vector<std::string> made;  // names in Data the case made itself
    std::function<void(ReplaceContentsTest&)> check;
  };
  const Case cases[] = {
      {"a symbolic link is followed and the file it names replaced", Runner::Here,
       [](ReplaceContentsTest& t) {
         WriteHostFile(t.data / "real.js", "old");
         fs::create_symlink("real.js", t.target);
       },
       FileWrite::Written, {"prefs.js", "real.js"},
       [](ReplaceContentsTest& t) {
         EXPECT_TRUE(fs::is_symlink(t.target));
         EXPECT_EQ(ReadHostFile(t.data / "real.js"), "new");
       }},
      {"a link to a file outside the folder replaces that file", Runner::Here,
       [](ReplaceContentsTest& t) {
         WriteHostFile(t.root / "elsewhere.js", "old");
         fs::create_symlink(t.root / "elsewhere.js", t.target);
       },
       FileWrite::Written, {"prefs.js"},
       [](ReplaceContentsTest& t) {
         EXPECT_TRUE(fs::is_symlink(t.target));
         EXPECT_EQ(ReadHostFile(t.root / "elsewhere.js"), "new");
       }},
      {"mode 0600 is kept", Runner::Here,
       [](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         fs::permissions(t.target, fs::perms(0600));
       },
       FileWrite::Written, {"prefs.js"},
       [](ReplaceContentsTest& t) { EXPECT_EQ(StatOf(t.target).st_mode & 07777, 0600u); }},
      {"another user's file keeps its owner when root rewrites it", Runner::Here,
       [nobody](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         ASSERT_EQ(::chown(t.target.c_str(), nobody, nobody), 0);
       },
       FileWrite::Written, {"prefs.js"},
       [nobody](ReplaceContentsTest& t) { EXPECT_EQ(StatOf(t.target).st_uid, nobody); }},
      {"a read-only file is refused even for root", Runner::Here,
       [](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         fs::permissions(t.target, fs::perms(0444));
       },
       FileWrite::ReadOnly, {"prefs.js"},
       [](ReplaceContentsTest& t) { EXPECT_EQ(StatOf(t.target).st_mode & 07777, 0444u); }},
      {"a read-only file of the user's own is refused", Runner::AsNobody,
       [nobody](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         fs::permissions(t.target, fs::perms(0444));
         ASSERT_EQ(::chown(t.target.c_str(), nobody, nobody), 0);
         ASSERT_EQ(::chown(t.data.c_str(), nobody, nobody), 0);
       },
       FileWrite::ReadOnly, {"prefs.js"}, nullptr},
      {"a file the user may not write is refused, though the folder is theirs", Runner::AsNobody,
       [nobody](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         fs::permissions(t.target, fs::perms(0644));
         ASSERT_EQ(::chown(t.data.c_str(), nobody, nobody), 0);
       },
       FileWrite::ReadOnly, {"prefs.js"},
       [](ReplaceContentsTest& t) { EXPECT_EQ(StatOf(t.target).st_uid, 0u); }},
      {"a link planted at the temporary name is not written through", Runner::Here,
       [](ReplaceContentsTest& t) {
         WriteHostFile(t.target, "old");
         WriteHostFile(t.root / "victim", "victim");
         fs::create_symlink(t.root / "victim", TemporaryPathBeside(t.target, 0));
       },
       FileWrite::Written, {"prefs.js", TemporaryPathBeside("prefs.js", 0).filename().string()},
       [](ReplaceContentsTest& t) {
         EXPECT_EQ(ReadHostFile(t.root / "victim"), "victim");
         EXPECT_TRUE(fs::is_symlink(TemporaryPathBeside(t.target, 0)));
       }},
      {"a full disk leaves the old file and no temporary file", Runner::DiskFull,
       [](ReplaceContentsTest& t) { WriteHostFile(t.target, "old"); }, FileWrite::Failed, {"prefs.js"},
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(data);
    fs::create_directories(data);
    fs::remove(root / "elsewhere.js");
    fs::remove(root / "victim");
    c.arrange(*this);
    const std::string before = ReadHostFile(target);
    EXPECT_EQ(Replace(c.runner, "new"), c.expected);
    EXPECT_EQ(ReadHostFile(target), c.expected == FileWrite::Written ? "new" : before);
    EXPECT_EQ(Leftovers(c.made), std::vector<std::string>{});
    if (c.check) c.check(*this);
  }
}

// The hive writer takes the same way: a link planted at the fixed name an
// earlier version used for its temporary file is left alone.
TEST_F(ReplaceContentsTest, TheHiveWriterDoesNotWriteThroughAPlantedLink) {
  WriteHostFile(root / "victim", "victim");
  fs::create_symlink(root / "victim", machine / "user.reg.quillbank-tmp");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(system->platform().registry.Create(RegRoot::CurrentUser, "Software\\Test", key), 0);
  ASSERT_EQ(system->platform().registry.Commit(), 0);
  EXPECT_EQ(ReadHostFile(root / "victim"), "victim");
  EXPECT_NE(ReadHostFile(machine / "user.reg").find("[Software\\\\Test]"), std::string::npos);
}

}  // namespace
}  // namespace quillbank
