// Real Thunderbird as the judge: the program configures Thunderbird on a
// machine folder, then Thunderbird itself starts headless on that profile.
// Thunderbird rewrites prefs.js when it starts; every account, identity and
// server line the program wrote must still be there, and Thunderbird must
// have given the new incoming server its mail folder ("directory"), which it
// only does for an account it loaded.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr const char* kThunderbird = "/usr/bin/thunderbird";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Lines LinesOf(const std::string& text) {
  Lines lines;
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Holds(const Lines& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

// Runs the program with the machine folder and HOME set; its exit code, or
// -1 when it did not end within the bound.
int RunProgram(const Lines& args, const fs::path& machine, const fs::path& home) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QUILLBANK_MACHINE", machine.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    std::string program = QUILLBANK_PROGRAM;
    Lines copies = args;
    std::vector<char*> argv{program.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  for (int waited_ms = 0; waited_ms < 60000; waited_ms += 50) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// Starts Thunderbird headless on the profile, waits until it has loaded the
// accounts (it writes the new server's directory into prefs.js) or 20 s have
// passed, ends it with SIGTERM and returns the prefs.js it left.
std::string RunThunderbird(const fs::path& profile, const std::string& directory_key,
                           const fs::path& home) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    setenv("HOME", home.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (FILE* quiet = freopen("/dev/null", "w", stderr)) (void)quiet;
    if (FILE* quiet = freopen("/dev/null", "w", stdout)) (void)quiet;
    execl(kThunderbird, kThunderbird, "--headless", "--profile", profile.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadAll(profile / "prefs.js").find(directory_key) != std::string::npos) break;
    if (waitpid(pid, nullptr, WNOHANG) == pid) return ReadAll(profile / "prefs.js");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  // Thunderbird writes prefs.js once more as it shuts down.
  kill(-pid, SIGTERM);
  bool ended = false;
  for (int waited_ms = 0; waited_ms < 15000 && !ended; waited_ms += 100) {
    ended = waitpid(pid, nullptr, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!ended) {
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  // Helper processes of the group end with it.
  kill(-pid, SIGKILL);
  return ReadAll(profile / "prefs.js");
}

// A machine with Thunderbird installed and jane's application data folder.
void WriteMachine(const fs::path& machine) {
  fs::create_directories(machine / "drive_c" / "users" / "jane" / "AppData" / "Roaming");
  std::ofstream system(machine / "system.reg", std::ios::binary);
  system << "WINE REGISTRY Version 2\n"
            ";; All keys relative to \\\\Machine\n"
            "\n"
            "#arch=win64\n"
            "\n"
            "[Software\\\\Clients\\\\Mail\\\\Mozilla Thunderbird] 1700000000\n"
            "@=\"Mozilla Thunderbird\"\n"
            "\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
            "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n";
  std::ofstream user(machine / "user.reg", std::ios::binary);
  user << "WINE REGISTRY Version 2\n"
          ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
          "\n"
          "#arch=win64\n"
          "\n"
          "[Volatile Environment] 1700000000\n"
          "\"APPDATA\"=\"C:\\\\users\\\\jane\\\\AppData\\\\Roaming\"\n"
          "\"USERPROFILE\"=\"C:\\\\users\\\\jane\"\n";
}

class ThunderbirdRealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kThunderbird)) {
      GTEST_SKIP() << kThunderbird << " is missing: install the Debian package thunderbird "
                   << "to let real Thunderbird check the files the program writes.";
    }
    char pattern[] = "/tmp/quillbank-thunderbird-e2e-XXXXXX";
    root = mkdtemp(pattern);
    machine = root / "machine";
    home = root / "home";
    fs::create_directories(home);
    WriteMachine(machine);
  }
  void TearDown() override {
    if (!root.empty()) fs::remove_all(root);
  }

  fs::path Thunderbird() const {
    return machine / "drive_c" / "users" / "jane" / "AppData" / "Roaming" / "Thunderbird";
  }

  // The lines of prefs.js that name accounts, identities and servers.
  static Lines AccountLines(const std::string& prefs) {
    Lines kept;
    for (const std::string& line : LinesOf(prefs)) {
      for (const char* key : {"\"mail.account.", "\"mail.identity.", "\"mail.server.",
                              "\"mail.smtpserver."}) {
        if (line.rfind(std::string("user_pref(") + key, 0) == 0) kept.push_back(line);
      }
    }
    return kept;
  }

  void ExpectThunderbirdKeeps(const fs::path& profile, const std::string& server) {
    const Lines written = AccountLines(ReadAll(profile / "prefs.js"));
    ASSERT_FALSE(written.empty());
    const std::string directory_key = "\"mail.server." + server + ".directory\"";
    const Lines after = LinesOf(RunThunderbird(profile, directory_key, home));
    for (const std::string& line : written) EXPECT_TRUE(Holds(after, line)) << line;
    bool directory = false;
    for (const std::string& line : after) {
      directory = directory || line.find(directory_key) != std::string::npos;
    }
    EXPECT_TRUE(directory) << "Thunderbird did not load " << server;
  }

  fs::path root, machine, home;
};

TEST_F(ThunderbirdRealTest, AcceptsTheAccountOfAFirstTimeUser) {
  ASSERT_EQ(RunProgram({"-n", "Jane Doe", "-a", "jane@example.com", "-c", "4"}, machine, home), 0);
  const fs::path profile = Thunderbird() / "Profiles" / "s8eyyog6.default";
  ASSERT_TRUE(fs::exists(profile / "prefs.js"));
  ExpectThunderbirdKeeps(profile, "server2");
}

TEST_F(ThunderbirdRealTest, AcceptsANewAccountBesideAnExistingOne) {
  const fs::path profile = Thunderbird() / "Profiles" / "k3x9.default-release";
  fs::create_directories(profile);
  std::ofstream(Thunderbird() / "profiles.ini", std::ios::binary)
      << "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/k3x9.default-release\n"
         "Default=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n";
  std::ofstream(profile / "prefs.js", std::ios::binary)
      << "// Mozilla User Preferences\n\n"
         "user_pref(\"mail.account.account1.identities\", \"id1\");\n"
         "user_pref(\"mail.account.account1.server\", \"server1\");\n"
         "user_pref(\"mail.accountmanager.accounts\", \"account1\");\n"
         "user_pref(\"mail.accountmanager.defaultaccount\", \"account1\");\n"
         "user_pref(\"mail.identity.id1.fullName\", \"Old Name\");\n"
         "user_pref(\"mail.identity.id1.smtpServer\", \"smtp1\");\n"
         "user_pref(\"mail.identity.id1.useremail\", \"old@isp.example\");\n"
         "user_pref(\"mail.server.server1.hostname\", \"pop.isp.example\");\n"
         "user_pref(\"mail.server.server1.name\", \"old@isp.example\");\n"
         "user_pref(\"mail.server.server1.type\", \"pop3\");\n"
         "user_pref(\"mail.server.server1.userName\", \"old\");\n"
         "user_pref(\"mail.smtp.defaultserver\", \"smtp1\");\n"
         "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.isp.example\");\n"
         "user_pref(\"mail.smtpserver.smtp1.username\", \"old\");\n"
         "user_pref(\"mail.smtpservers\", \"smtp1\");\n";
  ASSERT_EQ(RunProgram({"-n", "Jane Doe", "-a", "jane@example.com", "-c", "4"}, machine, home), 0);
  const std::string prefs = ReadAll(profile / "prefs.js");
  EXPECT_NE(prefs.find("user_pref(\"mail.accountmanager.accounts\", \"account1,account2\");"),
            std::string::npos);
  EXPECT_NE(prefs.find("user_pref(\"mail.smtpservers\", \"smtp1,smtp2\");"), std::string::npos);
  ExpectThunderbirdKeeps(profile, "server2");
}

}  // namespace
}  // namespace quillbank
