// Adding an account to a large prefs.js on real files, measured against
// copying the same file: the rewrite reads the file once, builds the new
// content in memory and writes it once, so it should stay within a small
// multiple of a plain copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/account_request.h"
#include "clients/files/thunderbird_configurator.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

// Files on the host's disk; Windows separators become "/".
class DiskFiles final : public Files {
 public:
  std::optional<std::string> ReadFile(const std::string& path) override {
    std::ifstream in(Host(path), std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    std::string content(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (!in) return std::nullopt;
    return content;
  }
  std::unique_ptr<AppendFile> OpenForAppend(const std::string&) override { return nullptr; }
  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    const std::string temporary = Host(path) + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || std::rename(temporary.c_str(), Host(path).c_str()) != 0) return FileWrite::Failed;
    return FileWrite::Written;
  }
  bool DeleteFile(const std::string& path) override { return std::remove(Host(path).c_str()) == 0; }
  bool CreateFolder(const std::string& path) override {
    std::error_code error;
    fs::create_directory(Host(path), error);
    return fs::is_directory(Host(path));
  }
  bool RemoveFolder(const std::string& path) override {
    std::error_code error;
    return fs::remove(Host(path), error);
  }
  bool FileExists(const std::string& path) override { return fs::is_regular_file(Host(path)); }
  bool FolderExists(const std::string& path) override { return fs::is_directory(Host(path)); }
  std::vector<std::string> ListFolder(const std::string&) override { return {}; }

 private:
  static std::string Host(std::string path) {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    return path;
  }
};

class NoEnvironment final : public Environment {
 public:
  std::optional<std::string> Get(std::string_view) override { return std::nullopt; }
};
class NoProcesses final : public Processes {
 public:
  std::vector<ProcessEntry> List() override { return {}; }
  bool Terminate(std::uint32_t) override { return false; }
  bool WaitForExit(std::uint32_t, std::uint32_t) override { return true; }
  bool Start(const std::string&) override { return false; }
};
class StillClock final : public Clock {
 public:
  LocalTime Now() override { return {}; }
};
class NoUuids final : public UuidSource {
 public:
  std::string NewUuid() override { return "00000000-0000-4000-8000-000000000000"; }
};

constexpr int kLines = 500000;

// A profile whose prefs.js holds one account and then about half a million
// other preference lines, as a long-used profile gathers them.
struct LargeProfile {
  LargeProfile() {
    root = fs::temp_directory_path() / "quillbank-thunderbird-bench";
    fs::remove_all(root);
    profile = root / "Thunderbird" / "Profiles" / "bench.default";
    fs::create_directories(profile);
    std::ofstream(root / "Thunderbird" / "profiles.ini", std::ios::binary)
        << "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/bench.default\r\n";
    std::string text = "// Mozilla User Preferences\r\n\r\n";
    text +=
        "user_pref(\"mail.account.account1.identities\", \"id1\");\r\n"
        "user_pref(\"mail.account.account1.server\", \"server1\");\r\n"
        "user_pref(\"mail.accountmanager.accounts\", \"account1\");\r\n"
        "user_pref(\"mail.accountmanager.defaultaccount\", \"account1\");\r\n"
        "user_pref(\"mail.identity.id1.smtpServer\", \"smtp1\");\r\n"
        "user_pref(\"mail.identity.id1.useremail\", \"old@isp.example\");\r\n"
        "user_pref(\"mail.server.server1.hostname\", \"pop.isp.example\");\r\n"
        "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.isp.example\");\r\n"
        "user_pref(\"mail.smtpservers\", \"smtp1\");\r\n";
    for (int n = 0; n < kLines; ++n) {
      text += "user_pref(\"mailnews.bench.folder" + std::to_string(n) +
              ".lastChecked\", \"20091208140322\");\r\n";
    }
    original = text;
    prefs = profile / "prefs.js";
    Restore();
    std::unique_ptr<RegistryKey> key;
    (void)registry.Create(RegRoot::CurrentUser, "Volatile Environment", key);
    SetText(*key, "APPDATA", root.string());
  }
  ~LargeProfile() { fs::remove_all(root); }

  void Restore() { std::ofstream(prefs, std::ios::binary | std::ios::trunc) << original; }

  fs::path root, profile, prefs;
  std::string original;
  MemoryRegistry registry;
  DiskFiles files;
  NoEnvironment environment;
  NoProcesses processes;
  StillClock clock;
  NoUuids uuids;
  Platform platform{registry, files, environment, processes, clock, uuids, Windows1252()};
};

LargeProfile& Profile() {
  static LargeProfile profile;
  return profile;
}

void BM_AddAccountToLargePrefs(benchmark::State& state) {
  LargeProfile& profile = Profile();
  RunLog log;  // not open: the log's lines are discarded
  for (auto _ : state) {
    state.PauseTiming();
    profile.Restore();
    state.ResumeTiming();
    AccountRequest request{"jane@example.com", "Jane Doe", false, false, true, log};
    if (ThunderbirdConfigurator(profile.platform, request).Configure() != status::kSuccess) {
      state.SkipWithError("the configurator failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(profile.original.size()));
}
BENCHMARK(BM_AddAccountToLargePrefs)->Unit(benchmark::kMillisecond);

void BM_CopyLargePrefs(benchmark::State& state) {
  LargeProfile& profile = Profile();
  const fs::path copy = profile.profile / "prefs.copy";
  for (auto _ : state) {
    state.PauseTiming();
    profile.Restore();
    fs::remove(copy);
    state.ResumeTiming();
    fs::copy_file(profile.prefs, copy);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(profile.original.size()));
}
BENCHMARK(BM_CopyLargePrefs)->Unit(benchmark::kMillisecond);

// The floor for any rewrite through the Files service: read the whole file,
// write it whole to the temporary file and put that in its place.
void BM_ReadWriteReplaceLargePrefs(benchmark::State& state) {
  LargeProfile& profile = Profile();
  const std::string prefs = profile.prefs.string();
  for (auto _ : state) {
    state.PauseTiming();
    profile.Restore();
    state.ResumeTiming();
    const std::optional<std::string> content = profile.files.ReadFile(prefs);
    if (!content || profile.files.ReplaceContents(prefs, *content) != FileWrite::Written) {
      state.SkipWithError("the rewrite failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(profile.original.size()));
}
BENCHMARK(BM_ReadWriteReplaceLargePrefs)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillbank
