// The scaffold the end-to-end tests of every client share: jane's machine
// folder seeded from registry files in tests/data/registry, the program run on
// it, its log read back, and the same registry files imported into a Wine
// prefix for the Windows build, so that both builds start from one copy of
// the machine.
//
//   JaneMachine machine("oe-e2e", {ReadTestData("registry/outlook_express.reg"), ...});
//   ProgramRun run = machine.Run({"-auto", "-p", "Tess-"});
//   EXPECT_TRUE(Holds(machine.LogLines(), "Email Client Configuration Successful!"));
//
//   ScenarioPrefix prefix;
//   ASSERT_EQ(ImportRegistry(prefix, {ReadTestData("registry/outlook_express.reg"), ...}).exit_code, 0);
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/machine_fixture.h"

namespace quillbank::e2e {

// The keys of registry files (as regedit imports them: REGEDIT4, CR LF or
// LF, ';' starting a comment) in the form Wine keeps them in a prefix's
// hives: the HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT keys for system.reg,
// the HKEY_CURRENT_USER keys for user.reg. Values are written alike in both
// forms, but for expandable texts, and long hex values continued over lines
// are joined. (The files are REGEDIT4 and not version 5.00 because Wine's
// regedit reads the hex(2) bytes of a file that is not UTF-16 as ANSI text
// whatever its header says.)
struct HiveKeys {
  std::string system;
  std::string user;
};
[[nodiscard]] HiveKeys HiveKeysOf(const std::vector<std::string>& registry_files);

// jane's machine folder ("machine" in a temporary folder of its own, removed
// with it) and the native program run on it.
class JaneMachine {
 public:
  // An empty machine folder; Seed() gives it its registry.
  explicit JaneMachine(const std::string& kind);
  // A machine folder whose registry holds the keys of `registry_files`.
  JaneMachine(const std::string& kind, const std::vector<std::string>& registry_files);

  // Writes the machine's hives anew: the keys of `registry_files`, and
  // beside them what every Wine prefix holds by itself but a machine folder
  // only gets from its hives: the Program Files folder, and jane's
  // application data and profile folders in Volatile Environment. Files
  // already below drive_c stay.
  void Seed(const std::vector<std::string>& registry_files) const;

  [[nodiscard]] const std::filesystem::path& root() const { return root_.path(); }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path Jane() const { return testing::JaneFolder(path_); }
  [[nodiscard]] std::filesystem::path Roaming() const { return Jane() / "AppData" / "Roaming"; }
  [[nodiscard]] std::filesystem::path LogFile() const { return Roaming() / "Quillbank.log"; }
  // The log's lines, time stamps and braced GUIDs masked.
  [[nodiscard]] std::vector<std::string> LogLines() const;

  // The native program on this machine folder.
  [[nodiscard]] ProgramRun Run(const std::vector<std::string>& args) const;

 private:
  testing::TemporaryFolder root_;
  std::filesystem::path path_;
};

// A REG_EXPAND_SZ value line as a REGEDIT4 registry file writes it:
// "name"=hex(2): and the bytes of `text` and its NUL, ending with CR LF.
[[nodiscard]] std::string ExpandableTextValue(const std::string& name, const std::string& text);

// Imports the keys of `registry_files` into the prefix's registry with
// regedit, as a user would double-click them.
[[nodiscard]] ProgramRun ImportRegistry(const ScenarioPrefix& prefix,
                                        const std::vector<std::string>& registry_files);

// Why the tests that run the Windows build under Wine cannot run here (wine64
// or the win64 build is missing); empty when they can.
[[nodiscard]] std::string WhyWindowsBuildCannotRun();

// Runs the Windows program with `arguments` typed as on a Windows command
// line: through a batch file, so that the quotes reach the program as typed.
// Its exit code.
[[nodiscard]] int RunWindowsProgramTyped(const ScenarioPrefix& prefix, const std::string& arguments);

// A run's own lines in the automatic mode, from its first line
// ("Automatically Configuring from ...") to the end; empty when there is none.
[[nodiscard]] std::vector<std::string> AutomaticRunLines(const std::vector<std::string>& lines);

// True when one of `lines` is `line`.
[[nodiscard]] bool Holds(const std::vector<std::string>& lines, const std::string& line);

}  // namespace quillbank::e2e
