// Eudora configured by the program started as a process: the same machine,
// run natively on a machine folder and by the Windows build under wine64,
// ends with byte-identical Eudora.ini files, for a new persona and for a
// reset of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/host_file.h"
#include "tests/support/test_data.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::ReadTestData;
using testing::WriteHostFile;

constexpr const char* kEudoraBelowAppData = "Qualcomm/Eudora/Eudora.ini";

std::vector<std::string> Args(bool overwrite) {
  std::vector<std::string> args{"-n", "Jane Roe", "-a", "jane@tessaline.net", "-c", "3"};
  if (overwrite) args.push_back("-u");
  return args;
}

TEST(EudoraE2eTest, NativeAndWindowsBuildsLeaveTheSameEudoraIni) {
  if (const std::string why = WhyWindowsBuildCannotRun(); !why.empty()) GTEST_SKIP() << why;
  // Eudora is installed; its file holds a settings account and two personas
  // of another person.
  const std::vector<std::string> registry{ReadTestData("registry/eudora.reg")};
  const std::string seed = ReadTestData("eudora/two_personas.ini");

  ScenarioPrefix prefix;
  ASSERT_TRUE(prefix.ok());
  const fs::path user = prefix.UserFolder();
  ASSERT_FALSE(user.empty());
  const fs::path wine_ini = user / "AppData" / "Roaming" / kEudoraBelowAppData;
  WriteHostFile(wine_ini, seed);
  const ProgramRun detected = ImportRegistry(prefix, registry);
  ASSERT_EQ(detected.exit_code, 0) << detected.err;

  const JaneMachine machine("eudora-e2e", registry);
  const fs::path native_ini = machine.Roaming() / kEudoraBelowAppData;
  WriteHostFile(native_ini, seed);

  // A new persona, then a reset of it.
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "reset" : "new persona");
    const ProgramRun native = machine.Run(Args(overwrite));
    EXPECT_EQ(native.exit_code, 0) << native.out << native.err;
    const ProgramRun windows = RunWindowsProgram(prefix.path(), WindowsProgram().string(), Args(overwrite));
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
