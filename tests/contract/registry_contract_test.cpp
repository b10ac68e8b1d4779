// The registry every backend gives the program: the codes, capacities and
// enumeration order of the Windows calls the seam stands for.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "env/registry_access.h"
#include "tests/contract/backend.h"

namespace quillbank::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RegistryContract : public ContractTest {
 protected:
  std::string Path(const std::string& below) const { return backend_->key() + "\\" + below; }
  std::unique_ptr<RegistryKey> Create(const std::string& below) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(backend_->registry().Create(RegRoot::CurrentUser, Path(below), key), 0) << below;
    return key;
  }
  long Open(const std::string& below, RegAccess access, std::unique_ptr<RegistryKey>& key) {
    return backend_->registry().Open(RegRoot::CurrentUser, Path(below), access, key);
  }
  std::vector<std::string> Subkeys(RegistryKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; key.EnumKey(i, 256, name) == 0; ++i) names.push_back(name);
    return names;
  }
};

TEST_P(RegistryContract, ValuesReadBackWithinTheCapacityOrFailAndFillNothing) {
  auto key = Create("Values");
  SetText(*key, "Name", "123456789");  // ten bytes with the NUL
  SetText(*key, "", "default");
  SetDword(*key, "Port", 0x12345678);
  SetBinary(*key, "Blob", {0x00, 0x01, 0xFF});
  SetBinary(*key, "Empty", {});

  struct Case {
    const char* name;
    std::size_t capacity;
    long result;
    std::uint32_t type;  // on success
    Bytes data;          // on success
  };
  const Case cases[] = {
      {"Name", 10, 0, reg_type::kSz, SzData("123456789")},
      {"NAME", 100, 0, reg_type::kSz, SzData("123456789")},  // names without regard to case
      {"Name", 9, 234, 0, {}},
      {"Name", 0, 234, 0, {}},
      {"", 8, 0, reg_type::kSz, SzData("default")},  // the key's default value
      {"Port", 4, 0, reg_type::kDword, {0x78, 0x56, 0x34, 0x12}},
      {"Port", 3, 234, 0, {}},
      {"Blob", 3, 0, reg_type::kBinary, {0x00, 0x01, 0xFF}},
      {"Blob", 2, 234, 0, {}},
      {"Empty", 0, 0, reg_type::kBinary, {}},
      {"Missing", 100, 2, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " with capacity " + std::to_string(c.capacity));
    RegValue out{reg_type::kMultiSz, {0xAA}};
    EXPECT_EQ(key->QueryValue(c.name, c.capacity, out), c.result);
    const RegValue expected = c.result == 0 ? RegValue{c.type, c.data}
                                            : RegValue{reg_type::kMultiSz, {0xAA}};
    EXPECT_EQ(out.type, expected.type);
    EXPECT_EQ(out.data, expected.data);
  }
}

TEST_P(RegistryContract, SettingReplacesAValueAndDeletingAMissingOneFailsWith2) {
  auto key = Create("Values");
  EXPECT_EQ(SetText(*key, "Server", "pop.example.net"), 0);
  EXPECT_EQ(SetDword(*key, "SERVER", 995), 0);  // the same value, now a number
  RegValue out;
  ASSERT_EQ(key->QueryValue("server", 4, out), 0);
  EXPECT_EQ(out.type, reg_type::kDword);
  EXPECT_EQ(DwordOf(out), 995u);

  EXPECT_EQ(key->DeleteValue("Server"), 0);
  EXPECT_EQ(key->DeleteValue("Server"), 2);
  EXPECT_EQ(key->QueryValue("Server", 100, out), 2);
}

TEST_P(RegistryContract, OpenFindsOnlyExistingKeysWithoutRegardToCaseAndNeverCreates) {
  Create("Accounts\\00000001");
  struct Case {
    const char* below;
    long result;
  };
  for (const Case c : {Case{"Accounts\\00000001", 0}, Case{"ACCOUNTS\\00000001", 0},
                       Case{"accounts\\", 0}, Case{"Accounts\\00000002", 2},
                       Case{"Accounts\\00000002\\Deeper", 2}}) {
    for (const RegAccess access : {RegAccess::Read, RegAccess::All}) {
      SCOPED_TRACE(c.below);
      std::unique_ptr<RegistryKey> key;
      EXPECT_EQ(Open(c.below, access, key), c.result);
      EXPECT_EQ(key != nullptr, c.result == 0);
    }
  }
  std::unique_ptr<RegistryKey> accounts;
  ASSERT_EQ(Open("Accounts", RegAccess::Read, accounts), 0);
  EXPECT_EQ(Subkeys(*accounts), std::vector<std::string>{"00000001"});
}

TEST_P(RegistryContract, AKeyOpenedForReadingRefusesChanges) {
  SetText(*Create("Locked"), "Kept", "yes");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(Open("Locked", RegAccess::Read, key), 0);
  EXPECT_EQ(SetText(*key, "New", "no"), 5);
  EXPECT_EQ(key->DeleteValue("Kept"), 5);
  EXPECT_EQ(ReadText(*key, "New", 100), std::nullopt);
  EXPECT_EQ(ReadText(*key, "Kept", 100), "yes");
}

TEST_P(RegistryContract, SubkeysKeepTheirCaseAndEnumerateByUpperCasedName) {
  for (const char* name : {"b", "Zeta", "A1", "MixedCase", "a"}) Create(std::string("List\\") + name);
  Create("List\\MIXEDCASE\\");  // the same key: opened, not renamed
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(Open("List", RegAccess::Read, key), 0);
  std::uint32_t count = 0;
  ASSERT_EQ(key->QuerySubkeyCount(count), 0);
  EXPECT_EQ(count, 5u);
  // Names that sort alike in upper and lower case: Wine orders by the
  // lower-cased name where Windows takes the upper-cased one.
  EXPECT_EQ(Subkeys(*key), (std::vector<std::string>{"a", "A1", "b", "MixedCase", "Zeta"}));

  struct Case {
    std::uint32_t index;
    std::size_t capacity;  // in characters, the terminator counted
    long result;
    const char* name;  // afterwards; "kept" when untouched
  };
  const Case cases[] = {
      {4, 5, 0, "Zeta"}, {4, 4, 234, "kept"}, {0, 2, 0, "a"}, {0, 1, 234, "kept"},
      {5, 100, 259, "kept"}, {99, 100, 259, "kept"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("index " + std::to_string(c.index) + ", capacity " + std::to_string(c.capacity));
    std::string name = "kept";
    EXPECT_EQ(key->EnumKey(c.index, c.capacity, name), c.result);
    EXPECT_EQ(name, c.name);
  }
}

TEST_P(RegistryContract, DeleteKeyRemovesOnlyAKeyWithoutSubkeys) {
  Create("Parent\\Child");
  struct Step {
    const char* below;
    long result;
  };
  for (const Step step : {Step{"Parent", 5}, Step{"parent\\CHILD\\", 0}, Step{"Parent\\Child", 2},
                          Step{"Parent", 0}, Step{"Parent", 2}}) {
    EXPECT_EQ(backend_->registry().DeleteKey(RegRoot::CurrentUser, Path(step.below)), step.result)
        << step.below;
  }
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(Open("Parent", RegAccess::Read, key), 2);
}

TEST_P(RegistryContract, ClassesRootShowsTheMachinesClasses) {
  const std::string name = "QuillbankContract";
  const std::string classes = "Software\\Classes\\" + name;
  std::unique_ptr<RegistryKey> key;
  const long created = backend_->registry().Create(RegRoot::LocalMachine, classes + "\\shell", key);
  if (created == 5) GTEST_SKIP() << "HKEY_LOCAL_MACHINE needs administrator rights here";
  ASSERT_EQ(created, 0);
  SetText(*key, "", "open");
  key.reset();
  ASSERT_EQ(backend_->registry().Open(RegRoot::ClassesRoot, name + "\\SHELL", RegAccess::Read, key),
            0);
  EXPECT_EQ(ReadText(*key, "", 100), "open");
  key.reset();
  EXPECT_EQ(backend_->registry().DeleteKey(RegRoot::ClassesRoot, name + "\\shell"), 0);
  EXPECT_EQ(backend_->registry().DeleteKey(RegRoot::LocalMachine, classes), 0);
}

TEST_P(RegistryContract, WhatARunCommitsTheNextRunSees) {
  SetText(*Create("Kept"), "Name", "Jane");
  Create("Dropped");
  ASSERT_EQ(backend_->registry().DeleteKey(RegRoot::CurrentUser, Path("Dropped")), 0);
  ASSERT_EQ(backend_->registry().Commit(), 0);
  EXPECT_EQ(backend_->registry().Commit(), 0);  // nothing more to keep

  Registry& next = backend_->NextRunRegistry();
  EXPECT_EQ(ReadText(next, RegRoot::CurrentUser, Path("kept"), RegAccess::Read, "name", 100),
            "Jane");
  EXPECT_FALSE(KeyExists(next, RegRoot::CurrentUser, Path("Dropped")));
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, ::testing::ValuesIn(Backends()), BackendName);

}  // namespace
}  // namespace quillbank::testing
