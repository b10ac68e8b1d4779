// Eudora configured by the program started as a process: the same machine,
// run natively on a machine folder and by the Windows build under wine64,
// ends with byte-identical Eudora.ini files, for a new persona and for a
// reset of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/wine_support.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::RunNativeProgram;
using testing::WriteHostFile;

// A settings account and two personas of another person.
constexpr const char* kSeed =
    "[Settings]\r\n"
    "RealName=Bob Stone\r\n"
    "ReturnAddress=bob@example.com\r\n"
    "[Personalities]\r\n"
    "Persona0=Persona-work\r\n"
    "Persona1=Persona-club\r\n"
    "\r\n"
    "[Persona-work]\r\n"
    "ReturnAddress=bob@work.example\r\n"
    "[Persona-club]\r\n"
    "ReturnAddress=bob@club.example\r\n";

constexpr const char* kEudoraBelowAppData = "Qualcomm/Eudora/Eudora.ini";

// A machine folder with Eudora detected and the user's application data
// folder named by the session.
fs::path WriteMachine(const fs::path& machine) {
  testing::WriteMachineFolder(machine,
                              "[Software\\\\Clients\\\\Mail\\\\Eudora] 1700000000\n"
                              "@=\"Eudora\"\n",
                              testing::kJaneAppData);
  const fs::path ini = testing::JaneFolder(machine) / "AppData" / "Roaming" / kEudoraBelowAppData;
  WriteHostFile(ini, kSeed);
  return ini;
}

// The user folder Wine made in the prefix (the one that is not Public).
std::vector<std::string> Args(bool overwrite) {
  std::vector<std::string> args{"-n", "Jane Roe", "-a", "jane@tessaline.net", "-c", "3"};
  if (overwrite) args.push_back("-u");
  return args;
}

TEST(EudoraE2eTest, NativeAndWindowsBuildsLeaveTheSameEudoraIni) {
  if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
  const fs::path windows_program = WindowsProgram();
  if (windows_program.empty()) GTEST_SKIP() << "the win64 build of the program is missing";

  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  const fs::path wine_ini = user / "AppData" / "Roaming" / kEudoraBelowAppData;
  WriteHostFile(wine_ini, kSeed);
  const ProgramRun detected = RunWindowsProgram(
      prefix.path(), "reg", {"add", "HKLM\\SOFTWARE\\Clients\\Mail\\Eudora", "/ve", "/d", "Eudora", "/f"});
  ASSERT_EQ(detected.exit_code, 0) << detected.err;

  const testing::TemporaryFolder root("eudora-e2e");
  const fs::path native_ini = WriteMachine(root / "machine");

  // A new persona, then a reset of it.
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "reset" : "new persona");
    const ProgramRun native = RunNativeProgram(root / "machine", QUILLBANK_PROGRAM, Args(overwrite));
    EXPECT_EQ(native.exit_code, 0) << native.out << native.err;
    const ProgramRun windows = RunWindowsProgram(prefix.path(), windows_program.string(), Args(overwrite));
    EXPECT_EQ(windows.exit_code, 0) << windows.out << windows.err;

    const std::string written = ReadHostFile(native_ini);
    EXPECT_NE(written.find("Persona2=Persona-jane@tessaline.net\r\n[Persona-jane@tessaline.net]\r\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(ReadHostFile(wine_ini), written);
    EXPECT_FALSE(fs::exists(native_ini.parent_path() / "Eudora.tmp"));
    EXPECT_FALSE(fs::exists(wine_ini.parent_path() / "Eudora.tmp"));
  }
}

}  // namespace
}  // namespace quillbank::e2e
