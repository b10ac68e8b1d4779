// A dry run, the real run, and its undo, for every client on a machine
// folder, the program started as a process each time. The dry run leaves
// every byte as it was (the log included) and prints changes that, applied
// to the old stores by hand, give exactly what the real run then writes; the
// undo gives every store back; an undo after someone else's change refuses.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/preview_apply.h"
#include "tests/support/program_run.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;
using testing::ReadHostFile;
using testing::ReadTestData;
using testing::WriteHostFile;

// Every file of a machine folder by its path below the folder, or with
// `all` only the stores: not the log, the lock file or the undo journals.
// Hive time stamps are masked (a rewritten key gets its run's time), and so
// are GUIDs, which differ from run to run.
using MachineFiles = std::map<std::string, std::string>;
MachineFiles FilesOf(const fs::path& machine, bool all = false) {
  static const std::regex stamp(R"((\]) [0-9]+\n|#time=[0-9a-f]+)");
  MachineFiles files;
  for (const auto& entry : fs::recursive_directory_iterator(machine)) {
    const std::string name = testing::MaskGuids(fs::relative(entry.path(), machine).string());
    const std::string shown = name + (entry.is_directory() ? "/" : "");
    if (!all && (entry.path().filename() == "Quillbank.log" || name == "quillbank.lock" ||
                 shown.find("/Quillbank/") != std::string::npos)) {
      continue;
    }
    if (entry.is_directory()) {
      files[name + "/"] = "";
    } else {
      const std::string bytes = ReadHostFile(entry.path());
      files[name] = testing::MaskGuids(
          entry.path().extension() == ".reg" && !all ? std::regex_replace(bytes, stamp, "$1 T\n")
                                                      : bytes);
    }
  }
  return files;
}

// Names each file that differs between two machines, with both contents.
::testing::AssertionResult SameFiles(const MachineFiles& expected, const MachineFiles& actual) {
  std::string differences;
  for (const auto& [name, bytes] : expected) {
    const auto found = actual.find(name);
    if (found == actual.end()) {
      differences += "missing: " + name + "\n";
    } else if (found->second != bytes) {
      differences += "differs: " + name + "\n--- expected\n" + bytes + "\n--- actual\n" +
                     found->second + "\n";
    }
  }
  for (const auto& [name, bytes] : actual) {
    if (!expected.count(name)) differences += "extra: " + name + "\n";
  }
  if (differences.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differences;
}

bool IsUtf16Store(const std::string& path) { return path.find(".oeaccount") != std::string::npos; }

struct Scenario {
  const char* name;
  friend void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }
  std::vector<const char*> registry;  // files below tests/data/registry
  std::function<void(const fs::path& roaming)> arrange;
  std::vector<std::string> args;
};

const char* const kEudoraIni = "Qualcomm/Eudora/Eudora.ini";

const Scenario kScenarios[] = {
    {"Outlook Express, a new default account",
     {"outlook_express.reg", "outlook_express_default.reg", "outlook_express_accounts.reg"},
     [](const fs::path&) {},
     {"-n", "Jane Q", "-a", "jane.new@tessaline.net", "-c", "0", "-d"}},
    {"Outlook Express, the automatic copy",
     {"outlook_express.reg", "outlook_express_default.reg", "outlook_express_accounts.reg"},
     [](const fs::path&) {},
     {"-auto", "-p", "Tess-"}},
    {"Outlook 2007, the profile store", {"outlook_2007.reg", "outlook_2007_profile.reg"},
     [](const fs::path&) {}, {"-n", "Jane Doe", "-a", "jane@tessaline.net", "-c", "1", "-d"}},
    {"Windows Mail, a new default account", {"windows_mail.reg", "windows_mail_store.reg"},
     [](const fs::path& roaming) {
       fs::create_directories(roaming.parent_path() / "Local/Microsoft/Windows Mail/Local Folders");
     },
     {"-n", "Jane & Co", "-a", "jane&co@tessaline.net", "-c", "2", "-d"}},
    {"Eudora, a new persona", {"eudora.reg"},
     [](const fs::path& roaming) {
       WriteHostFile(roaming / kEudoraIni, ReadTestData("eudora/two_personas.ini"));
     },
     {"-n", "Jane Doe", "-a", "jane@tessaline.net", "-c", "3", "-d"}},
    {"Thunderbird, an account beside two others", {"thunderbird.reg", "thunderbird_default.reg"},
     [](const fs::path& roaming) {
       WriteHostFile(roaming / "Thunderbird/profiles.ini",
                     ReadTestData("thunderbird/profiles.ini") + "Default=1\r\n");
       WriteHostFile(roaming / "Thunderbird/Profiles/abcd1234.default/prefs.js",
                     ReadTestData("thunderbird/prefs_two_accounts.js"));
     },
     {"-n", "Jane Doe", "-a", "jane.new@tessaline.net", "-c", "4", "-d"}},
    {"Thunderbird, a first-time user", {"thunderbird.reg"}, [](const fs::path&) {},
     {"-n", "Jane Doe", "-a", "jane@tessaline.net", "-c", "4"}},
};

class DryRunUndoE2eTest : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    std::vector<std::string> registry;
    for (const char* file : GetParam().registry) {
      registry.push_back(ReadTestData(std::string("registry/") + file));
    }
    machine_.Seed(registry);
    GetParam().arrange(machine_.Roaming());
  }

  ProgramRun Run(std::vector<std::string> args) const { return machine_.Run(args); }
  std::vector<std::string> With(const char* option) const {
    std::vector<std::string> args = GetParam().args;
    args.push_back(option);
    return args;
  }

  const e2e::JaneMachine machine_{"dry-run"};
};

TEST_P(DryRunUndoE2eTest, TheDryRunShowsExactlyTheRealRunAndUndoTakesItBack) {
  const MachineFiles untouched = FilesOf(machine_.path(), true);
  const MachineFiles stores = FilesOf(machine_.path());
  const testing::TemporaryFolder copy_root("dry-run-copy");
  const fs::path copy = copy_root / "machine";
  fs::copy(machine_.path(), copy, fs::copy_options::recursive);

  // The dry run changes no byte, the log's included.
  const ProgramRun dry = Run(With("--dry-run"));
  ASSERT_EQ(dry.exit_code, 0) << dry.out << dry.err;
  EXPECT_TRUE(SameFiles(untouched, FilesOf(machine_.path(), true)));

  // The real run exits alike, and its changes are the ones printed.
  const ProgramRun real = Run(GetParam().args);
  ASSERT_EQ(real.exit_code, dry.exit_code) << real.out;
  {
    SystemOpenResult opened = testing::OpenMachine(copy);
    ASSERT_TRUE(opened.services) << opened.error;
    std::string error;
    ASSERT_TRUE(testing::ApplyPreview(opened.services->platform(), dry.out, error, IsUtf16Store))
        << error << "\n" << dry.out;
  }
  EXPECT_TRUE(SameFiles(FilesOf(machine_.path()), FilesOf(copy))) << dry.out;

  // Undo gives every store back; a second undo has nothing left.
  const ProgramRun undo = Run({"--undo"});
  ASSERT_EQ(undo.exit_code, 0) << undo.out << undo.err;
  EXPECT_TRUE(SameFiles(stores, FilesOf(machine_.path())));
  EXPECT_EQ(Run({"--undo"}).exit_code, 23);
}

TEST_P(DryRunUndoE2eTest, AFailingRunsDryRunShowsNoChange) {
  // The account exists after the real run: the next run, and its dry run,
  // end with "exists" (5; 6 for an automatic copy in a registry store).
  ASSERT_EQ(Run(GetParam().args).exit_code, 0);
  const MachineFiles after = FilesOf(machine_.path(), true);
  const ProgramRun again = Run(With("--dry-run"));
  EXPECT_TRUE(again.exit_code == 5 || again.exit_code == 6) << again.out;
  EXPECT_EQ(again.out.find("--- "), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("; after"), std::string::npos) << again.out;
  EXPECT_EQ(FilesOf(machine_.path(), true), after);
}

INSTANTIATE_TEST_SUITE_P(EveryClient, DryRunUndoE2eTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           return "Scenario" + std::to_string(info.index);
                         });

// Undo refuses, changing nothing, when a store changed since the run: a
// file (Thunderbird's prefs.js, as Thunderbird itself rewrites it) or a
// registry value (Outlook Express's account).
TEST(UndoE2eTest, AStoreChangedSinceTheRunRefusesTheUndo) {
  const e2e::JaneMachine machine("undo-changed",
                                 {ReadTestData("registry/thunderbird.reg"),
                                  ReadTestData("registry/outlook_express.reg"),
                                  ReadTestData("registry/outlook_express_accounts.reg")});
  ASSERT_EQ(machine.Run({"-n", "Jane", "-a", "jane@tessaline.net", "-c", "4"}).exit_code, 0);
  const fs::path prefs = testing::FindHostFile(machine.Roaming() / "Thunderbird", "prefs.js");
  testing::AppendHostFile(prefs, "user_pref(\"mail.shell.checkDefaultClient\", false);\n");
  const MachineFiles changed = FilesOf(machine.path());
  const ProgramRun undo = machine.Run({"--undo", "--json"});
  EXPECT_EQ(undo.exit_code, 22) << undo.out;
  EXPECT_NE(undo.out.find("prefs.js has changed since the run. Nothing was undone."),
            std::string::npos)
      << undo.out;
  EXPECT_NE(undo.out.find("\"outcome\":\"changed-since\""), std::string::npos) << undo.out;
  EXPECT_EQ(FilesOf(machine.path()), changed);
}

// A run killed right after its first change (the first file it put in
// place) leaves a journal that undoes it: the first-time user's folders and
// files go again.
TEST(UndoE2eTest, ARunKilledAfterItsFirstChangeCanBeUndone) {
  if (testing::RunProcess({{"strace", "-f", "-o", "/dev/null", "true"}}).exit_code != 0) {
    GTEST_SKIP() << "strace is missing or may not trace here";
  }
  const e2e::JaneMachine machine("undo-killed", {ReadTestData("registry/thunderbird.reg")});
  const MachineFiles before = FilesOf(machine.path());
  // The second rename is the second file put in place: the run dies as it
  // starts it, with the first one (and its folders) made.
  const ProgramRun killed = testing::RunProcess(
      {{"strace", "-f", "-o", "/dev/null", "-e", "inject=rename:signal=SIGKILL:when=2",
        QUILLBANK_PROGRAM, "-n", "Jane", "-a", "jane@tessaline.net", "-c", "4"},
       {{"QUILLBANK_MACHINE", machine.path().string()}}});
  ASSERT_NE(killed.exit_code, 0) << killed.out << killed.err;
  ASSERT_NE(FilesOf(machine.path()), before) << "the run died before its first change";
  const ProgramRun undo = machine.Run({"--undo"});
  EXPECT_EQ(undo.exit_code, 0) << undo.out;
  EXPECT_EQ(FilesOf(machine.path()), before);
}

}  // namespace
}  // namespace quillbank
