// Files of the running system (Wine's under the test runner), in a fresh
// folder below the temporary folder that is removed afterwards.
#include <windows.h>
#undef DeleteFile  // the seam's member, not the Win32 macro
#undef ReplaceFile

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

class Win32FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    folder_ = std::string(temp) + "quillbank-" + MakeWin32Uuids()->NewUuid();
    ASSERT_TRUE(files_->CreateFolder(folder_));
  }
  void TearDown() override {
    // Two levels are all any test makes.
    for (const std::string& name : files_->ListFolder(folder_ + "\\*")) {
      const std::string path = folder_ + "\\" + name;
      for (const std::string& inner : files_->ListFolder(path + "\\*")) {
        DeleteFileA((path + "\\" + inner).c_str());
      }
      RemoveDirectoryA(path.c_str());
      DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
  std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<Files> files_ = MakeWin32Files();
  std::string folder_;
};

TEST_F(Win32FilesTest, BytesComeBackAsTheyWereWritten) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += "line\r\nbare\n\x1A after end-of-file mark";
  bytes += std::string(200000, 'x');  // more than one read
  ASSERT_TRUE(files_->WriteFile(Path("data.bin"), bytes));
  EXPECT_EQ(files_->ReadFile(Path("data.bin")), bytes);

  ASSERT_TRUE(files_->WriteFile(Path("data.bin"), "short"));  // truncates
  EXPECT_EQ(files_->ReadFile(Path("data.bin")), "short");
  ASSERT_TRUE(files_->WriteFile(folder_ + "/empty.txt", ""));  // forward slashes too
  EXPECT_EQ(files_->ReadFile(Path("EMPTY.TXT")), "");
}

TEST_F(Win32FilesTest, MissingFilesFoldersAndFailedWritesAreReported) {
  EXPECT_EQ(files_->ReadFile(Path("missing.txt")), std::nullopt);
  EXPECT_EQ(files_->ReadFile(folder_), std::nullopt);  // a folder is no file
  EXPECT_FALSE(files_->WriteFile(Path("no\\such\\folder.txt"), "x"));
  EXPECT_FALSE(files_->DeleteFile(Path("missing.txt")));
  EXPECT_EQ(files_->OpenForAppend(Path("no\\such.log")), nullptr);

  ASSERT_TRUE(files_->WriteFile(Path("file"), "x"));
  EXPECT_TRUE(files_->FileExists(Path("file")));
  EXPECT_FALSE(files_->FolderExists(Path("file")));
  EXPECT_TRUE(files_->FolderExists(folder_));
  EXPECT_FALSE(files_->FileExists(folder_));
  EXPECT_TRUE(files_->DeleteFile(Path("file")));
  EXPECT_FALSE(files_->FileExists(Path("file")));
}

TEST_F(Win32FilesTest, CreateFolderMakesOneLevelAndAcceptsAnExistingFolder) {
  EXPECT_TRUE(files_->CreateFolder(Path("sub")));
  EXPECT_TRUE(files_->CreateFolder(Path("sub")));
  EXPECT_TRUE(files_->FolderExists(Path("SUB")));
  EXPECT_FALSE(files_->CreateFolder(Path("a\\b")));
  EXPECT_FALSE(files_->FolderExists(Path("a")));
  ASSERT_TRUE(files_->WriteFile(Path("taken"), "x"));
  EXPECT_FALSE(files_->CreateFolder(Path("taken")));
}

TEST_F(Win32FilesTest, ReplacePutsTheNewFileInPlaceAndKeepsTheOldOneOnFailure) {
  ASSERT_TRUE(files_->WriteFile(Path("prefs.js"), "old"));
  EXPECT_FALSE(files_->ReplaceFile(Path("prefs.tmp"), Path("prefs.js")));
  EXPECT_EQ(files_->ReadFile(Path("prefs.js")), "old");

  ASSERT_TRUE(files_->WriteFile(Path("prefs.tmp"), "new"));
  EXPECT_TRUE(files_->ReplaceFile(Path("prefs.tmp"), Path("prefs.js")));
  EXPECT_EQ(files_->ReadFile(Path("prefs.js")), "new");
  EXPECT_FALSE(files_->FileExists(Path("prefs.tmp")));

  ASSERT_TRUE(files_->WriteFile(Path("fresh.tmp"), "first"));
  EXPECT_TRUE(files_->ReplaceFile(Path("fresh.tmp"), Path("fresh.ini")));  // no old file
  EXPECT_EQ(files_->ReadFile(Path("fresh.ini")), "first");
}

TEST_F(Win32FilesTest, ListingMatchesWildcardsWithoutRegardToCaseAndSkipsDotEntries) {
  for (const char* name : {"account{1}.oeaccount", "Account{2}.OEACCOUNT", "abc.txt", "abd.txt",
                           "notes.oeaccount.bak"}) {
    ASSERT_TRUE(files_->WriteFile(Path(name), "x"));
  }
  ASSERT_TRUE(files_->CreateFolder(Path("Mail")));
  EXPECT_EQ(Sorted(files_->ListFolder(Path("account{*}.oeaccount"))),
            (std::vector<std::string>{"Account{2}.OEACCOUNT", "account{1}.oeaccount"}));
  EXPECT_EQ(Sorted(files_->ListFolder(Path("ab?.TXT"))),
            (std::vector<std::string>{"abc.txt", "abd.txt"}));
  EXPECT_EQ(files_->ListFolder(Path("*")).size(), 6u);  // folders too, no "." or ".."
  EXPECT_EQ(files_->ListFolder(Path("Mail\\*")), std::vector<std::string>{});
  EXPECT_EQ(files_->ListFolder(Path("missing\\*")), std::vector<std::string>{});
}

TEST_F(Win32FilesTest, AppendingAddsAtTheEndAndSharesTheFileWithOtherWriters) {
  ASSERT_TRUE(files_->WriteFile(Path("Quillbank.log"), "earlier run\r\n"));
  std::unique_ptr<AppendFile> first = files_->OpenForAppend(Path("Quillbank.log"));
  std::unique_ptr<AppendFile> second = files_->OpenForAppend(Path("Quillbank.log"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(first->Append("one\r\n"));
  EXPECT_TRUE(second->Append("two\r\n"));
  EXPECT_TRUE(first->Append("three\r\n"));
  // Each line is on disk as soon as it is appended; readers are let in.
  EXPECT_EQ(files_->ReadFile(Path("Quillbank.log")), "earlier run\r\none\r\ntwo\r\nthree\r\n");
  EXPECT_TRUE(first->Close());
  EXPECT_FALSE(first->Append("late\r\n"));
  EXPECT_FALSE(first->Close());
  EXPECT_TRUE(second->Close());
  EXPECT_EQ(files_->ReadFile(Path("Quillbank.log")), "earlier run\r\none\r\ntwo\r\nthree\r\n");

  std::unique_ptr<AppendFile> created = files_->OpenForAppend(Path("new.log"));
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->Append("first line\r\n"));
  created.reset();  // closed by its owner
  EXPECT_EQ(files_->ReadFile(Path("new.log")), "first line\r\n");
}

}  // namespace
}  // namespace quillbank
