// The files every backend gives the program: Windows paths, binary content,
// one safe way to change a file, and folder listings by wildcard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "tests/contract/backend.h"

namespace quillbank::testing {
namespace {

using Names = std::vector<std::string>;

class FilesContract : public ContractTest {
 protected:
  Files& files() { return backend_->files(); }
  std::string Path(const std::string& below) const { return backend_->folder() + "\\" + below; }
  void Put(const std::string& below, const std::string& bytes) {
    ASSERT_EQ(files().ReplaceContents(Path(below), bytes), FileWrite::Written) << below;
  }
  // A listing in one order: Windows lists by upper-cased name, Wine in the
  // order of the folder on disk.
  Names Listed(const std::string& pattern) {
    Names names = files().ListFolder(Path(pattern));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return Upper(a) < Upper(b);
    });
    return names;
  }
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }
};

TEST_P(FilesContract, BytesComeBackAsTheyWereWritten) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += "line\r\nbare\n\x1A after an end-of-file mark";
  Put("data.bin", bytes);
  EXPECT_EQ(files().ReadFile(Path("data.bin")), bytes);
  EXPECT_EQ(files().ReadFile(backend_->folder() + "/DATA.BIN"), bytes);  // any case, either slash
  Put("data.bin", "short");
  EXPECT_EQ(files().ReadFile(Path("data.bin")), "short");
  Put("empty.txt", "");
  EXPECT_EQ(files().ReadFile(Path("empty.txt")), "");
  EXPECT_EQ(files().ReadFile(Path("missing.txt")), std::nullopt);
  EXPECT_EQ(files().ReadFile(backend_->folder()), std::nullopt);  // a folder is no file
}

TEST_P(FilesContract, ReplacingPutsNewContentInPlaceOrLeavesTheOldFileAsItWas) {
  enum class Before { Nothing, File, ReadOnlyFile, Folder };
  struct Case {
    const char* what;
    Before before;  // at prefs.js
    const char* path;
    FileWrite result;
    std::optional<std::string> content;  // of prefs.js afterwards
  };
  const Case cases[] = {
      {"a missing file is created", Before::Nothing, "prefs.js", FileWrite::Written, "new"},
      {"a file is replaced", Before::File, "prefs.js", FileWrite::Written, "new"},
      {"a file is found without regard to case", Before::File, "PREFS.JS", FileWrite::Written,
       "new"},
      {"a read-only file is refused", Before::ReadOnlyFile, "prefs.js", FileWrite::ReadOnly, "old"},
      {"a folder is no file", Before::Folder, "prefs.js", FileWrite::Failed, std::nullopt},
      {"a missing folder is not made", Before::Nothing, "missing\\prefs.js", FileWrite::Failed,
       std::nullopt},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = "case" + std::to_string(++number);
    ASSERT_TRUE(files().CreateFolder(Path(folder)));
    const std::string target = Path(folder + "\\prefs.js");
    if (c.before == Before::File || c.before == Before::ReadOnlyFile) {
      Put(folder + "\\prefs.js", "old");
    }
    if (c.before == Before::ReadOnlyFile) backend_->MarkReadOnly(target);
    if (c.before == Before::Folder) {
      ASSERT_TRUE(files().CreateFolder(target));
    }

    EXPECT_EQ(files().ReplaceContents(Path(folder + "\\" + c.path), "new"), c.result);
    EXPECT_EQ(files().ReadFile(target), c.content);
    // The name keeps its case, and no temporary file stays behind.
    const Names expected = c.before == Before::Nothing && !c.content ? Names{} : Names{"prefs.js"};
    EXPECT_EQ(Listed(folder + "\\*"), expected);
  }
}

TEST_P(FilesContract, ContentInPiecesIsWrittenInOrderOrNotAtAll) {
  const std::string large(1 << 20, 'x');
  Put("pieces.txt", "old");
  const std::vector<std::string_view> pieces{"head\r\n", large, "", "tail"};
  EXPECT_EQ(files().ReplaceContentsInPieces(Path("pieces.txt"), pieces), FileWrite::Written);
  EXPECT_EQ(files().ReadFile(Path("pieces.txt")), "head\r\n" + large + "tail");
  backend_->MarkReadOnly(Path("pieces.txt"));
  EXPECT_EQ(files().ReplaceContentsInPieces(Path("pieces.txt"), {"new"}), FileWrite::ReadOnly);
  EXPECT_EQ(files().ReadFile(Path("pieces.txt")), "head\r\n" + large + "tail");
}

TEST_P(FilesContract, AViewHoldsTheBytesAsTheyWereWhenItWasTaken) {
  const std::string large(3 << 20, 'L');  // large enough to be mapped where files can be
  for (const std::string& bytes : {std::string("small\r\n"), large}) {
    SCOPED_TRACE(bytes.size());
    Put("view.txt", bytes);
    const std::unique_ptr<FileView> view = files().ViewFile(Path("view.txt"));
    ASSERT_NE(view, nullptr);
    Put("view.txt", "replaced");
    EXPECT_EQ(view->bytes(), bytes);
    EXPECT_EQ(files().ReadFile(Path("view.txt")), "replaced");
  }
  EXPECT_EQ(files().ViewFile(Path("missing.txt")), nullptr);
  EXPECT_EQ(files().ViewFile(backend_->folder()), nullptr);  // a folder is no file
}

TEST_P(FilesContract, ReplacingThroughASymbolicLinkReplacesTheFileItNames) {
  ASSERT_TRUE(files().CreateFolder(Path("real")));
  Put("real\\prefs.js", "old");
  if (!backend_->MakeSymbolicLink(Path("prefs.js"), Path("real\\prefs.js"))) {
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_EQ(files().ReplaceContents(Path("prefs.js"), "new"), FileWrite::Written);
  EXPECT_TRUE(backend_->IsSymbolicLink(Path("prefs.js")));
  EXPECT_EQ(files().ReadFile(Path("real\\prefs.js")), "new");
  EXPECT_EQ(Listed("real\\*"), Names{"prefs.js"});
}

TEST_P(FilesContract, AppendingAddsAtTheEndForEveryWriterUntilClosed) {
  Put("Quillbank.log", "earlier run\r\n");
  std::unique_ptr<AppendFile> first = files().OpenForAppend(Path("Quillbank.log"));
  std::unique_ptr<AppendFile> second = files().OpenForAppend(Path("QUILLBANK.LOG"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(first->Append("one\r\n"));
  EXPECT_TRUE(second->Append("two\r\n"));
  EXPECT_TRUE(first->Append("three\r\n"));
  EXPECT_EQ(files().ReadFile(Path("Quillbank.log")), "earlier run\r\none\r\ntwo\r\nthree\r\n");
  EXPECT_TRUE(first->Close());
  EXPECT_FALSE(first->Append("late\r\n"));
  EXPECT_FALSE(first->Close());
  EXPECT_TRUE(second->Close());
  EXPECT_EQ(files().ReadFile(Path("Quillbank.log")), "earlier run\r\none\r\ntwo\r\nthree\r\n");

  std::unique_ptr<AppendFile> created = files().OpenForAppend(Path("new.log"));
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->Append("first line\r\n"));
  created.reset();
  EXPECT_EQ(files().ReadFile(Path("new.log")), "first line\r\n");

  EXPECT_EQ(files().OpenForAppend(Path("missing\\new.log")), nullptr);
  EXPECT_EQ(files().OpenForAppend(backend_->folder()), nullptr);  // a folder
}

TEST_P(FilesContract, FoldersAreMadeOneLevelAtATimeAndRemovedOnlyWhenEmpty) {
  Put("file.txt", "x");
  Put("locked.txt", "x");
  backend_->MarkReadOnly(Path("locked.txt"));
  enum class Call { CreateFolder, RemoveFolder, DeleteFile, FileExists, FolderExists };
  struct Step {
    Call call;
    const char* path;
    bool result;
  };
  const Step steps[] = {
      {Call::CreateFolder, "Sub", true},
      {Call::CreateFolder, "sub", true},  // there already
      {Call::FolderExists, "SUB", true},
      {Call::FolderExists, "Sub\\", true},
      {Call::FileExists, "Sub", false},
      {Call::CreateFolder, "a\\b", false},
      {Call::FolderExists, "a", false},
      {Call::CreateFolder, "file.txt", false},
      {Call::FileExists, "FILE.TXT", true},
      {Call::FolderExists, "file.txt", false},
      {Call::RemoveFolder, "file.txt", false},
      {Call::DeleteFile, "Sub", false},
      {Call::CreateFolder, "Sub\\Inner", true},
      {Call::RemoveFolder, "Sub", false},  // not empty
      {Call::RemoveFolder, "sub\\inner", true},
      {Call::RemoveFolder, "Sub", true},
      {Call::RemoveFolder, "Sub", false},  // gone
      {Call::FolderExists, "Sub", false},
      {Call::DeleteFile, "file.txt", true},
      {Call::DeleteFile, "file.txt", false},
      {Call::FileExists, "file.txt", false},
      {Call::DeleteFile, "locked.txt", false},  // read-only
      {Call::FileExists, "locked.txt", true},
  };
  int number = 0;
  for (const Step& step : steps) {
    ++number;
    const std::string path = Path(step.path);
    bool result = false;
    switch (step.call) {
      case Call::CreateFolder: result = files().CreateFolder(path); break;
      case Call::RemoveFolder: result = files().RemoveFolder(path); break;
      case Call::DeleteFile: result = files().DeleteFile(path); break;
      case Call::FileExists: result = files().FileExists(path); break;
      case Call::FolderExists: result = files().FolderExists(path); break;
    }
    EXPECT_EQ(result, step.result) << "step " << number << ": " << step.path;
  }
  EXPECT_EQ(Listed("*"), Names{"locked.txt"});
}

TEST_P(FilesContract, ListingMatchesWildcardsWithoutRegardToCase) {
  ASSERT_TRUE(files().CreateFolder(Path("Mail")));
  for (const char* name : {"account{1}.oeaccount", "Account{2}.OEACCOUNT", "abc.txt", "abd.txt",
                           "notes.oeaccount.bak", "Mail\\inside.txt"}) {
    Put(name, "x");
  }
  struct Case {
    const char* pattern;
    Names names;
  };
  const Case cases[] = {
      {"account{*}.oeaccount", {"account{1}.oeaccount", "Account{2}.OEACCOUNT"}},
      {"ab?.TXT", {"abc.txt", "abd.txt"}},
      {"*.bak", {"notes.oeaccount.bak"}},
      {"*", {"abc.txt", "abd.txt", "account{1}.oeaccount", "Account{2}.OEACCOUNT", "Mail",
             "notes.oeaccount.bak"}},  // folders too, but never "." or ".."
      {"mail\\*", {"inside.txt"}},
      {"nothing*", {}},
      {"missing\\*", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Listed(c.pattern), c.names) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(Backends, FilesContract, ::testing::ValuesIn(Backends()), BackendName);

}  // namespace
}  // namespace quillbank::testing
