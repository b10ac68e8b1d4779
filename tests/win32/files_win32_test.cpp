// Files of the running system (Wine's under the test runner), in a fresh
// folder below the temporary folder that is removed afterwards.
#include <windows.h>
#undef DeleteFile  // the seam's member, not the Win32 macro

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "env/platform/win32/win32_handles.h"
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
  bool Write(const std::string& path, std::string_view bytes) {
    return files_->ReplaceContents(path, bytes) == FileWrite::Written;
  }
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
  ASSERT_TRUE(Write(Path("data.bin"), bytes));
  EXPECT_EQ(files_->ReadFile(Path("data.bin")), bytes);

  ASSERT_TRUE(Write(Path("data.bin"), "short"));  // truncates
  EXPECT_EQ(files_->ReadFile(Path("data.bin")), "short");
  ASSERT_TRUE(Write(folder_ + "/empty.txt", ""));  // forward slashes too
  EXPECT_EQ(files_->ReadFile(Path("EMPTY.TXT")), "");
}

TEST_F(Win32FilesTest, MissingFilesFoldersAndFailedWritesAreReported) {
  EXPECT_EQ(files_->ReadFile(Path("missing.txt")), std::nullopt);
  EXPECT_EQ(files_->ReadFile(folder_), std::nullopt);  // a folder is no file
  EXPECT_FALSE(Write(Path("no\\such\\folder.txt"), "x"));
  EXPECT_FALSE(files_->DeleteFile(Path("missing.txt")));
  EXPECT_EQ(files_->OpenForAppend(Path("no\\such.log")), nullptr);

  ASSERT_TRUE(Write(Path("file"), "x"));
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
  ASSERT_TRUE(Write(Path("taken"), "x"));
  EXPECT_FALSE(files_->CreateFolder(Path("taken")));
}

// The first temporary name the backend tries for `name` in this process.
std::string FirstTemporaryName(const std::string& name) {
  return "." + name + "." + std::to_string(GetCurrentProcessId()) + "-0.quillbank-tmp";
}

TEST_F(Win32FilesTest, ReplacingKeepsWhatTheUserSetAndRefusesAReadOnlyFile) {
  struct Case {
    const char* name;
    DWORD attributes;          // set on the old file
    bool held_open;            // another program has it open without sharing
    bool planted;              // a file already has the first temporary name
    FileWrite expected;
  };
  const Case cases[] = {
      {"a plain file is replaced", FILE_ATTRIBUTE_NORMAL, false, false, FileWrite::Written},
      {"a hidden file stays hidden", FILE_ATTRIBUTE_HIDDEN, false, false, FileWrite::Written},
      {"a read-only file is refused", FILE_ATTRIBUTE_READONLY, false, false, FileWrite::ReadOnly},
      {"a file at the temporary name is left alone", FILE_ATTRIBUTE_NORMAL, false, true,
       FileWrite::Written},
      {"a file that cannot be replaced stays, and no temporary file", FILE_ATTRIBUTE_NORMAL, true,
       false, FileWrite::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    ASSERT_TRUE(Write(Path("prefs.js"), "old"));
    ASSERT_TRUE(SetFileAttributesA(Path("prefs.js").c_str(), c.attributes));
    std::vector<std::string> expected_names{"prefs.js"};
    if (c.planted) {
      ASSERT_TRUE(Write(Path(FirstTemporaryName("prefs.js")), "planted"));
      expected_names.push_back(FirstTemporaryName("prefs.js"));
    }
    win32::UniqueHandle holder;
    if (c.held_open) {
      holder.Reset(CreateFileA(Path("prefs.js").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(holder.valid());
    }
    EXPECT_EQ(files_->ReplaceContents(Path("prefs.js"), "new"), c.expected);
    holder.Reset();
    EXPECT_EQ(files_->ReadFile(Path("prefs.js")), c.expected == FileWrite::Written ? "new" : "old");
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(GetFileAttributesA(Path("prefs.js").c_str()) & kKept, c.attributes & kKept);
    // Wine's ReplaceFile leaves a file of its own ("rf*.tmp") when it fails;
    // none of the program's temporary files may stay.
    std::vector<std::string> names = files_->ListFolder(Path("*"));
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) { return name.rfind("rf", 0) == 0; }),
                names.end());
    EXPECT_EQ(Sorted(names), Sorted(expected_names));
    if (c.planted) {
      EXPECT_EQ(files_->ReadFile(Path(FirstTemporaryName("prefs.js"))), "planted");
    }
    SetFileAttributesA(Path("prefs.js").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(Win32FilesTest, ReplacingCreatesAMissingFileButNotAMissingFolder) {
  EXPECT_EQ(files_->ReplaceContents(Path("fresh.ini"), "first"), FileWrite::Written);
  EXPECT_EQ(files_->ReadFile(Path("fresh.ini")), "first");
  EXPECT_EQ(files_->ReplaceContents(Path("missing\\fresh.ini"), "x"), FileWrite::Failed);
  EXPECT_EQ(files_->ListFolder(Path("*")), std::vector<std::string>{"fresh.ini"});
}

TEST_F(Win32FilesTest, ListingMatchesWildcardsWithoutRegardToCaseAndSkipsDotEntries) {
  for (const char* name : {"account{1}.oeaccount", "Account{2}.OEACCOUNT", "abc.txt", "abd.txt",
                           "notes.oeaccount.bak"}) {
    ASSERT_TRUE(Write(Path(name), "x"));
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
  ASSERT_TRUE(Write(Path("Quillbank.log"), "earlier run\r\n"));
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
