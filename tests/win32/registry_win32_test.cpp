// The registry semantics the program relies on, checked against the system's
// registry (Wine's under the test runner). Every test works below a fresh key
// HKCU\Software\QuillbankTest\<uuid> that is removed afterwards.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteTreeA, for the clean-up only
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/platform/win32/win32_platform.h"
#include "env/registry_access.h"

namespace quillbank {
namespace {

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\QuillbankTest\\" + MakeWin32Uuids()->NewUuid();
    ASSERT_EQ(registry_->Create(RegRoot::CurrentUser, base_, base_key_), 0);
  }
  void TearDown() override {
    base_key_.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuillbankTest");  // when no other test uses it
  }

  std::unique_ptr<RegistryKey> Create(const std::string& below) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(registry_->Create(RegRoot::CurrentUser, base_ + "\\" + below, key), 0) << below;
    return key;
  }
  long Open(const std::string& below, RegAccess access, std::unique_ptr<RegistryKey>& key) {
    return registry_->Open(RegRoot::CurrentUser, base_ + "\\" + below, access, key);
  }
  // The value as the system's own narrow call returns it.
  std::vector<BYTE> Raw(const std::string& below, const char* name, DWORD& type) {
    HKEY key = nullptr;
    std::vector<BYTE> data(512);
    DWORD size = static_cast<DWORD>(data.size());
    const std::string path = base_ + "\\" + below;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), 0);
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, data.data(), &size), 0);
    RegCloseKey(key);
    data.resize(size);
    return data;
  }

  std::unique_ptr<Registry> registry_ = MakeWin32Registry();
  std::string base_;
  std::unique_ptr<RegistryKey> base_key_;
};

// The journal of the account stores undoes a key it created with DeleteKey;
// the machine folder's registry answers the same codes.
TEST_F(Win32RegistryTest, DeleteKeyRemovesOnlyAKeyWithoutSubkeys) {
  Create("Parent\\Child");
  struct Step {
    const char* below;
    long result;
  };
  for (const Step step : {Step{"Parent", 5}, Step{"Parent\\Child\\", 0}, Step{"Parent\\Child", 2},
                          Step{"Parent", 0}}) {
    EXPECT_EQ(registry_->DeleteKey(RegRoot::CurrentUser, base_ + "\\" + step.below), step.result)
        << step.below;
  }
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(Open("Parent", RegAccess::Read, key), 2);
}

TEST_F(Win32RegistryTest, OpenFindsOnlyExistingKeysAndATrailingBackslashNamesTheSameKey) {
  Create("Accounts\\00000001");
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(Open("Accounts\\00000002", RegAccess::Read, key), 2);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Open("Accounts\\00000002", RegAccess::All, key), 2);
  // Opening never creates.
  HKEY raw = nullptr;
  const std::string missing = base_ + "\\Accounts\\00000002";
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &raw), 2);

  ASSERT_EQ(Open("Accounts\\", RegAccess::All, key), 0);
  SetText(*key, "Via Slash", "yes");
  key.reset();
  ASSERT_EQ(Open("ACCOUNTS", RegAccess::Read, key), 0);  // names without regard to case
  EXPECT_EQ(ReadText(*key, "via slash", 100), "yes");
}

TEST_F(Win32RegistryTest, CreateMakesEveryMissingKeyAndOpensAnExistingOne) {
  auto created = Create("One\\Two\\Three");
  SetDword(*created, "n", 7);
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(Open("One\\Two", RegAccess::Read, key), 0);
  auto again = Create("one\\two\\three\\");
  EXPECT_EQ(ReadText(*again, "missing", 100), std::nullopt);
  RegValue value;
  ASSERT_EQ(again->QueryValue("n", 4, value), 0);
  EXPECT_EQ(DwordOf(value), 7u);
}

TEST_F(Win32RegistryTest, AKeyOpenedForReadingRefusesWrites) {
  Create("Locked");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(Open("Locked", RegAccess::Read, key), 0);
  EXPECT_EQ(SetText(*key, "x", "y"), 5);
  EXPECT_EQ(ReadText(*key, "x", 100), std::nullopt);
}

TEST_F(Win32RegistryTest, AReadThatDoesNotFitFailsWith234AndLeavesTheOutputAlone) {
  auto key = Create("Values");
  SetText(*key, "Name", "123456789");  // ten bytes with the NUL
  RegValue out{reg_type::kBinary, {0xAA}};
  EXPECT_EQ(key->QueryValue("Name", 9, out), 234);
  EXPECT_EQ(key->QueryValue("Name", 0, out), 234);
  EXPECT_EQ(out.type, reg_type::kBinary);
  EXPECT_EQ(out.data, std::vector<std::uint8_t>{0xAA});
  EXPECT_EQ(key->QueryValue("Nothing", 100, out), 2);
  EXPECT_EQ(out.data, std::vector<std::uint8_t>{0xAA});

  ASSERT_EQ(key->QueryValue("Name", 10, out), 0);
  EXPECT_EQ(out.type, reg_type::kSz);
  EXPECT_EQ(out.data.size(), 10u);
  EXPECT_EQ(TextOf(out), "123456789");
}

TEST_F(Win32RegistryTest, ValuesAreStoredInTheEncodingsOtherProgramsRead) {
  auto key = Create("Encodings");
  SetText(*key, "Text", "pop.example.net");
  SetDword(*key, "Port", 0x12345678);
  SetBinary(*key, "Blob", {0x00, 0x01, 0xFF});
  SetText(*key, "", "default");

  DWORD type = 0;
  const std::vector<BYTE> text = Raw("Encodings", "Text", type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(text.begin(), text.end()), std::string("pop.example.net\0", 16));

  const std::vector<BYTE> port = Raw("Encodings", "Port", type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  ASSERT_EQ(port.size(), 4u);
  EXPECT_EQ(port, (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12}));

  EXPECT_EQ(Raw("Encodings", "Blob", type), (std::vector<BYTE>{0x00, 0x01, 0xFF}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

  // The empty name is the key's default value, the one RegQueryValueA reads.
  HKEY raw = nullptr;
  const std::string path = base_ + "\\Encodings";
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw), 0);
  char buffer[32] = {};
  LONG size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueA(raw, nullptr, buffer, &size), 0);
  RegCloseKey(raw);
  EXPECT_STREQ(buffer, "default");
}

TEST_F(Win32RegistryTest, DeletingAValueThatIsMissingFailsWith2) {
  auto key = Create("Delete");
  SetText(*key, "Gone", "x");
  EXPECT_EQ(key->DeleteValue("Gone"), 0);
  EXPECT_EQ(key->DeleteValue("Gone"), 2);
  RegValue out;
  EXPECT_EQ(key->QueryValue("Gone", 100, out), 2);
}

TEST_F(Win32RegistryTest, SubkeysEnumerateByUpperCasedNameAndAreCounted) {
  for (const char* name : {"b", "_x", "Zeta", "A1", "a"}) Create(std::string("List\\") + name);
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(Open("List", RegAccess::Read, key), 0);
  std::uint32_t count = 0;
  ASSERT_EQ(key->QuerySubkeyCount(count), 0);
  EXPECT_EQ(count, 5u);

  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0; key->EnumKey(i, 100, name) == 0; ++i) names.push_back(name);
  EXPECT_EQ(key->EnumKey(5, 100, name), 259);
  if (RunsUnderWine()) {
    // Wine orders by the lower-cased name, so '_' comes before the letters.
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "a", "A1", "b", "Zeta"}));
  } else {
    // Windows orders by the upper-cased name: '_' comes after the letters.
    EXPECT_EQ(names, (std::vector<std::string>{"a", "A1", "b", "Zeta", "_x"}));
  }

  // The capacity counts the terminator: "Zeta" needs five characters.
  const std::uint32_t zeta = RunsUnderWine() ? 4 : 3;
  std::string kept = "kept";
  EXPECT_EQ(key->EnumKey(zeta, 4, kept), 234);
  EXPECT_EQ(kept, "kept");
  ASSERT_EQ(key->EnumKey(zeta, 5, kept), 0);
  EXPECT_EQ(kept, "Zeta");
}

TEST_F(Win32RegistryTest, TheThreeRootsAreTheSystemsOwn) {
  // HKEY_CLASSES_ROOT shows the machine's classes. (Windows also merges in
  // the current user's; Wine 8 and the machine folder do not.)
  const std::string classes = "Software\\Classes\\QuillbankTest-" + MakeWin32Uuids()->NewUuid();
  std::unique_ptr<RegistryKey> key;
  const long created = registry_->Create(RegRoot::LocalMachine, classes + "\\shell", key);
  if (created == 5) GTEST_SKIP() << "HKEY_LOCAL_MACHINE needs administrator rights here";
  ASSERT_EQ(created, 0);
  key.reset();
  EXPECT_EQ(registry_->Open(RegRoot::ClassesRoot, classes.substr(17) + "\\shell\\", RegAccess::Read,
                            key),
            0);
  key.reset();
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, classes.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, classes.c_str());

  ASSERT_EQ(registry_->Open(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                            RegAccess::Read, key),
            0);
  EXPECT_NE(ReadText(*key, "ProgramFilesDir", 300), std::nullopt);
}

TEST_F(Win32RegistryTest, TextIsStoredInTheWindows1252CodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the system's ANSI code page is " << GetACP();
  auto key = Create("Text");
  SetText(*key, "Name", "Ren\xE9\x80");
  HKEY raw = nullptr;
  const std::string path = base_ + "\\Text";
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw), 0);
  wchar_t buffer[16] = {};
  DWORD size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExW(raw, L"Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            0);
  RegCloseKey(raw);
  EXPECT_EQ(std::wstring(buffer), std::wstring(L"Ren\u00E9\u20AC"));
  EXPECT_EQ(ReadText(*key, "Name", 100), "Ren\xE9\x80");
}

}  // namespace
}  // namespace quillbank
