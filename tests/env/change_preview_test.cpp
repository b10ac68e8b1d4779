// What a dry run prints for a file and a registry key: the forms a reader of
// unified diffs and regedit exports expects, and the edge cases where a
// printer goes wrong (no line end at the end, a file made or removed, UTF-16,
// a key the run makes or removes).
#include <gtest/gtest.h>

#include "env/change_preview.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"
#include "env/staged_registry.h"

namespace quillbank {
namespace {

TEST(ChangePreviewTest, FileDiffs) {
  struct Case {
    const char* name;
    std::optional<std::string> before;
    std::optional<std::string> after;
    std::string printed;
  };
  const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
  const Case cases[] = {
      {"unchanged", "a\n", "a\n", ""},
      {"a line changed between others, three lines of context",
       ten, "1\n2\n3\n4\n5\nfive\n7\n8\n9\n10\n",
       "--- f\n+++ f\n@@ -3,7 +3,7 @@\n 3\n 4\n 5\n-6\n+five\n 7\n 8\n 9\n"},
      {"a new file", std::nullopt, "x\r\ny\r\n", "--- /dev/null\n+++ f\n@@ -0,0 +1,2 @@\n+x\r\n+y\r\n"},
      {"a removed file", "x\n", std::nullopt, "--- f\n+++ /dev/null\n@@ -1 +0,0 @@\n-x\n"},
      {"no line end at the end", "a\nb", "a\nc",
       "--- f\n+++ f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+c\n"
       "\\ No newline at end of file\n"},
      {"UTF-16 shown decoded", std::string("\xFF\xFEh\0i\0\n\0", 8),
       std::string("\xFF\xFEh\0\xE9\0\n\0", 8), "--- f\n+++ f\n@@ -1 +1 @@\n-hi\n+h\xC3\xA9\n"},
      {"two changes far apart make two hunks", ten + ten, "one\n" + ten.substr(2) + ten.substr(0, 18) + "ten\n",
       "--- f\n+++ f\n@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -17,4 +17,4 @@\n 7\n 8\n 9\n-10\n+ten\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnifiedDiff("f", c.before, c.after), c.printed) << c.name;
  }
}

TEST(ChangePreviewTest, RegistryBlocksAsRegeditWritesThem) {
  MemoryRegistry before;
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(before.Create(RegRoot::CurrentUser, "Software\\Old", key), 0);
  ASSERT_EQ(SetText(*key, "Gone", "was \"here\"\\"), 0);
  ASSERT_EQ(SetDword(*key, "Port", 110), 0);
  key.reset();
  StagedRegistry after(before);
  ASSERT_EQ(after.Open(RegRoot::CurrentUser, "Software\\Old", RegAccess::All, key), 0);
  ASSERT_EQ(key->DeleteValue("Gone"), 0);
  ASSERT_EQ(SetDword(*key, "Port", 995), 0);
  ASSERT_EQ(SetBinary(*key, "Bytes", std::vector<std::uint8_t>(30, 0xab)), 0);
  ASSERT_EQ(after.Create(RegRoot::CurrentUser, "Software\\New", key), 0);
  ASSERT_EQ(key->SetValue("", reg_type::kExpandSz, SzData("%A%")), 0);
  key.reset();
  ASSERT_EQ(after.Create(RegRoot::CurrentUser, "Software\\Brief", key), 0);
  key.reset();
  ASSERT_EQ(after.DeleteKey(RegRoot::CurrentUser, "Software\\Brief"), 0);

  std::string printed;
  for (const TouchedKey& touched : after.Touched()) {
    printed += RegistryBlock(touched, before, after, Windows1252());
  }
  EXPECT_EQ(printed,
            "; before\n[HKEY_CURRENT_USER\\Software\\Old]\n\"Gone\"=\"was \\\"here\\\"\\\\\"\n"
            "\"Port\"=dword:0000006e\n\"Bytes\"=-\n"
            "; after\n[HKEY_CURRENT_USER\\Software\\Old]\n\"Gone\"=-\n\"Port\"=dword:000003e3\n"
            "\"Bytes\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
            "  ab,ab,ab,ab,ab,ab,ab,ab\n\n"
            "; before\n[-HKEY_CURRENT_USER\\Software\\New]\n"
            "; after\n[HKEY_CURRENT_USER\\Software\\New]\n@=hex(2):25,00,41,00,25,00,00,00\n\n"
            "; before\n[-HKEY_CURRENT_USER\\Software\\Brief]\n"
            "; after\n[-HKEY_CURRENT_USER\\Software\\Brief]\n\n");
  // Nothing reached the registry beneath.
  EXPECT_EQ(before.Open(RegRoot::CurrentUser, "Software\\New", RegAccess::Read, key),
            win32_error::kFileNotFound);
}

}  // namespace
}  // namespace quillbank
