// Adding an account to a large prefs.js through the machine folder's own
// files, measured against copying the same file: the rewrite reads the file
// once, builds the new content in memory and writes it once, so it should stay
// within a small multiple of a plain copy. tools/bench.sh times the same work
// as whole runs of the program.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "clients/thunderbird/thunderbird_client.h"
#include "core/account_request.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "env/platform/machine/machine_files.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

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

// A machine folder whose user's profile has a prefs.js holding one account
// and then about half a million other preference lines, as a long-used
// profile gathers them. The files are the machine folder's own, read and
// replaced as a run on it reads and replaces them (flush and rename included).
struct LargeProfile {
  LargeProfile() {
    fs::remove_all(root);
    const fs::path roaming = root / "drive_c" / "users" / "bench" / "AppData" / "Roaming";
    profile = roaming / "Thunderbird" / "Profiles" / "bench.default";
    fs::create_directories(profile);
    std::ofstream(roaming / "Thunderbird" / "profiles.ini", std::ios::binary)
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
    SetText(*key, "APPDATA", kRoaming);
  }
  ~LargeProfile() { fs::remove_all(root); }

  void Restore() { std::ofstream(prefs, std::ios::binary | std::ios::trunc) << original; }

  static constexpr const char* kRoaming = "C:\\users\\bench\\AppData\\Roaming";
  static constexpr const char* kPrefs =
      "C:\\users\\bench\\AppData\\Roaming\\Thunderbird\\Profiles\\bench.default\\prefs.js";
  fs::path root = fs::temp_directory_path() / "quillbank-thunderbird-bench";
  fs::path profile, prefs;
  std::string original;
  MemoryRegistry registry;
  MachineFiles files{root / "drive_c"};
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
    if (ThunderbirdConfigurator(profile.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder)).Configure() != status::kSuccess) {
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

// The floor for any rewrite through the machine folder's Files: read the
// whole file, write it whole to a flushed temporary file and put that in its
// place.
void BM_ReadWriteReplaceLargePrefs(benchmark::State& state) {
  LargeProfile& profile = Profile();
  const std::string prefs = LargeProfile::kPrefs;
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
