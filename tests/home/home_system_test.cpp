// The user's home as the program opens it: where its state lives, a registry
// that takes nothing, files named by host paths, Thunderbird's program on
// PATH, and the user's processes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "env/platform/home/home_layout.h"
#include "env/platform/home/home_system.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

fs::perms ModeOf(const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; }

// Sets an environment variable for the life of the object.
class ScopedVariable final {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class HomeSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    system_ = OpenUserHome(home.string(), std::nullopt, error);
    ASSERT_TRUE(system_) << error;
  }
  Platform& platform() { return system_->platform(); }

  const testing::TemporaryFolder root{"home-system"};
  const fs::path home = root.path();
  std::unique_ptr<SystemServices> system_;
};

TEST(HomeLayoutTest, TheStateFolderFollowsAnAbsoluteXdgStateHome) {
  struct Case {
    std::optional<std::string> xdg_state_home;
    const char* folder;
  };
  const Case cases[] = {
      {std::nullopt, "/home/jane/.local/state/quillbank"},
      {"/srv/state", "/srv/state/quillbank"},
      {"/srv/state/", "/srv/state/quillbank"},
      {"relative/state", "/home/jane/.local/state/quillbank"},  // ignored, as the rules say
      {"", "/home/jane/.local/state/quillbank"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StateFolderIn("/home/jane", c.xdg_state_home), c.folder)
        << c.xdg_state_home.value_or("(unset)");
  }
}

TEST(HomeOpenTest, OpeningMakesThePrivateStateFolderOrSaysWhyNot) {
  const testing::TemporaryFolder root("home-open");
  fs::create_directories(root / "state");
  fs::permissions(root / "state", fs::perms(0755));
  std::string error;
  const auto system = OpenUserHome(root.path().string(), (root / "state").string(), error);
  ASSERT_TRUE(system) << error;
  Platform& platform = system->platform();
  EXPECT_EQ(platform.user.StateFolder(), (root / "state" / "quillbank").string());
  EXPECT_EQ(platform.user.HomeFolder(), root.path().string());
  EXPECT_EQ(platform.user.PathSeparator(), '/');
  EXPECT_EQ(ModeOf(root / "state" / "quillbank"), fs::perms(0700));
  EXPECT_EQ(ModeOf(root / "state"), fs::perms(0755));  // a level that was there is left alone
  EXPECT_TRUE(fs::is_regular_file(root / "state" / "quillbank" / "quillbank.lock"));
  EXPECT_NE(platform.run_lock, nullptr);
  EXPECT_EQ(platform.mapi, nullptr);
  EXPECT_EQ(&platform.code_page, &Utf8());
  EXPECT_EQ(system->HostPathOf("/etc/passwd"), std::nullopt);

  for (const char* home : {"", "relative/home"}) {
    error.clear();
    EXPECT_EQ(OpenUserHome(home, std::nullopt, error), nullptr) << home;
    EXPECT_EQ(error.rfind("HOME is not set", 0), 0u) << error;
  }
  testing::WriteHostFile(root / "file", "");
  EXPECT_EQ(OpenUserHome(root.path().string(), (root / "file").string(), error), nullptr);
  EXPECT_NE(error.find((root / "file" / "quillbank").string()), std::string::npos) << error;
}

TEST_F(HomeSystemTest, TheRegistryHasNoKeysAndTakesNone) {
  Registry& registry = platform().registry;
  std::unique_ptr<RegistryKey> key;
  for (const RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::ClassesRoot}) {
    EXPECT_EQ(registry.Open(root, "Software\\Clients\\Mail", RegAccess::Read, key), 2);
    EXPECT_EQ(registry.Open(root, "", RegAccess::All, key), 2);
    EXPECT_EQ(registry.Create(root, "Software\\Quillbank", key), 5);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(registry.DeleteKey(root, "Software\\Quillbank"), 2);
  }
  EXPECT_EQ(registry.Commit(), 0);
}

TEST_F(HomeSystemTest, FilesAreHostPathsTakenAsTheyAre) {
  Files& files = platform().files;
  const std::string folder = (home / "mail").string();
  ASSERT_TRUE(files.CreateFolder(folder));
  ASSERT_EQ(files.ReplaceContents(folder + "/Prefs.js", "upper"), FileWrite::Written);
  ASSERT_EQ(files.ReplaceContents(folder + "/prefs.js", "lower"), FileWrite::Written);
  ASSERT_EQ(files.ReplaceContents(folder + "/a\\b.txt", "backslash"), FileWrite::Written);
  struct Case {
    const char* path;  // below the folder
    std::optional<std::string> content;
  };
  const Case cases[] = {
      {"/Prefs.js", "upper"},  // names keep their case and are told apart by it
      {"/prefs.js", "lower"},
      {"/PREFS.JS", std::nullopt},
      {"/a\\b.txt", "backslash"},  // "\" is part of the name
      {"\\prefs.js", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(files.ReadFile(folder + c.path), c.content) << c.path;
  EXPECT_TRUE(fs::is_regular_file(home / "mail" / "a\\b.txt"));
  EXPECT_EQ(files.ListFolder(folder + "/PREFS.*"), (Names{"Prefs.js", "prefs.js"}));
  EXPECT_EQ(files.ListFolder(folder + "/a\\*"), Names{"a\\b.txt"});
  EXPECT_EQ(files.ReadFile(""), std::nullopt);
  const Names top = files.ListFolder("/*");  // the root folder itself
  EXPECT_NE(std::find(top.begin(), top.end(), "tmp"), top.end());
}

TEST_F(HomeSystemTest, ThunderbirdIsOnPathOnlyAsAnExecutableFile) {
  testing::WriteHostFile(home / "bin" / "thunderbird", "#!/bin/sh\n");
  fs::permissions(home / "bin" / "thunderbird", fs::perms(0755));
  testing::WriteHostFile(home / "plain" / "thunderbird", "");
  fs::permissions(home / "plain" / "thunderbird", fs::perms(0644));
  fs::create_directories(home / "folder" / "thunderbird");
  fs::create_directories(home / "empty");
  fs::create_directory_symlink(home / "bin", home / "linked");
  struct Case {
    std::string path;
    bool found;
  };
  const std::string dir = home.string();
  const Case cases[] = {
      {dir + "/empty:" + dir + "/bin", true},
      {dir + "/linked", true},
      {dir + "/empty", false},
      {dir + "/plain", false},  // no execute bit, so not even root may run it
      {dir + "/folder", false},
      {"", false},
      {":" + dir + "/missing:", false},
  };
  for (const Case& c : cases) {
    const ScopedVariable path("PATH", c.path);
    EXPECT_EQ(platform().user.OnPath("thunderbird"), c.found) << c.path;
  }
}

// A program started through the shell is listed by its executable's file
// name (even once that file is gone, as after an upgrade), and ends when
// asked; the program itself is never ended.
TEST_F(HomeSystemTest, AStartedProgramIsListedByItsFileAndEndsWhenAsked) {
  const std::string name = "qb-sleep-" + std::to_string(::getpid() % 100000);
  const fs::path program = home / name;
  fs::copy_file("/bin/sleep", program);
  Processes& processes = platform().processes;
  ASSERT_TRUE(processes.Start("exec '" + program.string() + "' 30"));

  const auto listed_id = [&]() -> std::optional<std::uint32_t> {
    for (const ProcessEntry& entry : processes.List()) {
      if (entry.executable == name) return entry.id;
    }
    return std::nullopt;
  };
  std::optional<std::uint32_t> id;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(id = listed_id()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(id) << name << " was not listed";
  fs::remove(program);
  EXPECT_EQ(listed_id(), id) << "not listed once its file was gone";
  EXPECT_TRUE(processes.Terminate(*id));
  EXPECT_TRUE(processes.WaitForExit(*id, 5000));
  for (const ProcessEntry& entry : processes.List()) EXPECT_NE(entry.id, *id);

  EXPECT_FALSE(processes.Terminate(static_cast<std::uint32_t>(::getpid())));
}

}  // namespace
}  // namespace quillbank

namespace quillbank {
namespace {

// A desktop tool's output is read whole, from a program run in this home,
// and only when the program ends well in time.
TEST_F(HomeSystemTest, ACommandsOutputIsReadOnlyWhenItEndsWell) {
  struct Case {
    const char* what;
    std::vector<std::string> argv;
    std::optional<std::string> output;
  };
  const std::string big(200000, 'x');
  const Case cases[] = {
      {"printed", {"printf", "'uid'\\n"}, std::string("'uid'\n")},
      {"run with this home as HOME", {"sh", "-c", "printf %s \"$HOME\""}, home.string()},
      {"more than a pipe holds", {"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' x"}, big},
      {"errors are dropped", {"sh", "-c", "echo out; echo err >&2"}, std::string("out\n")},
      {"a failure", {"sh", "-c", "echo partial; exit 1"}, std::nullopt},
      {"no such program", {"quillbank-no-such-tool"}, std::nullopt},
      {"nothing to run", {}, std::nullopt},
      {"too slow", {"sleep", "30"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform().user.CommandOutput(c.argv), c.output);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
}

}  // namespace
}  // namespace quillbank
