#include <gtest/gtest.h>

#include <filesystem>

#include "env/platform/machine/machine_folder.h"
#include "env/registry_access.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

using testing::ReadHostFile;

class MachineFolderTest : public ::testing::Test {
 protected:
  std::unique_ptr<SystemServices> Open() {
    std::string error;
    auto system = OpenMachineFolder(folder.string(), error);
    EXPECT_TRUE(system) << error;
    return system;
  }
  const testing::TemporaryFolder root{"machine"};
  const fs::path folder = root.path();
};

TEST_F(MachineFolderTest, NewFolderGetsAMinimalMachineWithAUserEnvironment) {
  auto system = Open();
  ASSERT_TRUE(system);
  Environment& env = system->platform().environment;
  const auto appdata = env.Get("appdata");
  ASSERT_TRUE(appdata);
  EXPECT_EQ(appdata->rfind("C:\\users\\", 0), 0u);
  EXPECT_EQ(env.Get("ProgramFiles").value_or(""), "C:\\Program Files");
  EXPECT_TRUE(system->platform().files.FolderExists(*appdata));
}

TEST_F(MachineFolderTest, CommittedChangesReachTheHiveAndSurviveAReopen) {
  {
    auto system = Open();
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(system->platform().registry.Create(RegRoot::CurrentUser, "Software\\Test\\Caf\xe9\\", key), 0);
    SetText(*key, "Name", "Ren\xe9 \"R\" \\ x");
    SetDword(*key, "Port", 995);
    SetBinary(*key, "Blob", std::vector<std::uint8_t>(70, 0xab));
    SetText(*key, "", "");
    ASSERT_EQ(system->platform().registry.Commit(), 0);
  }
  auto system = Open();
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(system->platform().registry.Open(RegRoot::CurrentUser, "software\\TEST\\caf\xc9", RegAccess::Read, key), 0);
  EXPECT_EQ(ReadText(*key, "name", 100).value_or("?"), "Ren\xe9 \"R\" \\ x");
  RegValue port;
  ASSERT_EQ(key->QueryValue("Port", 100, port), 0);
  EXPECT_EQ(DwordOf(port), 995u);
  RegValue blob;
  EXPECT_EQ(key->QueryValue("Blob", 69, blob), 234);
  ASSERT_EQ(key->QueryValue("Blob", 70, blob), 0);
  EXPECT_EQ(blob.data, std::vector<std::uint8_t>(70, 0xab));
  EXPECT_EQ(ReadText(*key, "", 10).value_or("?"), "");
  EXPECT_NE(ReadHostFile(folder / "user.reg").find("\"Name\"=\"Ren\\x00e9 \\\"R\\\" \\\\ x\""), std::string::npos);
}

}  // namespace
}  // namespace quillbank

namespace quillbank {
namespace {

TEST_F(MachineFolderTest, PathsBelowDriveCResolveWithoutRegardToCaseAndListInNtfsOrder) {
  auto system = Open();
  ASSERT_TRUE(system);
  Files& files = system->platform().files;
  ASSERT_TRUE(files.CreateFolder("C:\\Data"));
  ASSERT_EQ(files.ReplaceContents("C:\\Data\\b.txt", "b"), FileWrite::Written);
  ASSERT_EQ(files.ReplaceContents("c:/DATA/Account{2}.oeaccount", "2"), FileWrite::Written);
  ASSERT_EQ(files.ReplaceContents("C:\\data\\account{1}.oeaccount", "1"), FileWrite::Written);
  EXPECT_TRUE(fs::exists(folder / "drive_c" / "Data" / "b.txt"));
  EXPECT_EQ(files.ReadFile("C:\\DATA\\B.TXT").value_or(""), "b");
  EXPECT_EQ(files.ListFolder("C:\\Data\\ACCOUNT*"),
            (std::vector<std::string>{"account{1}.oeaccount", "Account{2}.oeaccount"}));
  EXPECT_EQ(files.ReplaceContents("D:\\elsewhere.txt", "x"), FileWrite::Failed);
  EXPECT_EQ(files.ReplaceContents("C:\\Missing\\x.txt", "x"), FileWrite::Failed);

  // Replacing finds the existing file without regard to case.
  ASSERT_EQ(files.ReplaceContents("C:\\Data\\B.txt", "new"), FileWrite::Written);
  EXPECT_EQ(files.ReadFile("C:\\Data\\b.txt").value_or(""), "new");
  EXPECT_EQ(files.ListFolder("C:\\Data\\*"),
            (std::vector<std::string>{"account{1}.oeaccount", "Account{2}.oeaccount", "b.txt"}));

  auto log = files.OpenForAppend("C:\\Data\\run.log");
  ASSERT_TRUE(log);
  EXPECT_TRUE(log->Append("one\r\n"));
  EXPECT_TRUE(log->Append("two\r\n"));
  EXPECT_TRUE(log->Close());
  EXPECT_EQ(files.ReadFile("C:\\Data\\run.log").value_or(""), "one\r\ntwo\r\n");
}

TEST_F(MachineFolderTest, AFolderThatIsNotAMachineIsRefusedAndLeftAlone) {
  testing::WriteHostFile(folder / "notes.txt", "mine");
  std::string error;
  EXPECT_FALSE(OpenMachineFolder(folder.string(), error));
  EXPECT_NE(error.find("not a machine folder"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "user.reg"));

  const fs::path broken = folder / "broken";
  testing::WriteHostFile(broken / "user.reg", "not a hive\n");
  testing::WriteHostFile(broken / "system.reg", "WINE REGISTRY Version 2\n");
  EXPECT_FALSE(OpenMachineFolder(broken.string(), error));
  EXPECT_NE(error.find("user.reg"), std::string::npos);

  // Keys nested 20,000 deep: refused with a reason, not a crash.
  std::string path = "k";
  for (int i = 1; i < 20000; ++i) path += "\\\\k";
  testing::WriteHostFile(broken / "user.reg", "WINE REGISTRY Version 2\n\n[" + path + "] 1\n\n");
  EXPECT_FALSE(OpenMachineFolder(broken.string(), error));
  EXPECT_NE(error.find("deeper than 512 levels"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillbank
