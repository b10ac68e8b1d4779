// Wine hives read, changed through the narrow registry API and written back:
// what the run does not change must come back byte for byte, and names and
// text outside Windows-1252 must stay what Wine wrote.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "env/platform/machine/registry_hive.h"
#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr const char* kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
    "#arch=win64\n\n";
constexpr long long kStamp = 1800000000;

void Set(MemoryRegistry& registry, const char* path, const char* name, const char* text) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry.Create(RegRoot::CurrentUser, path, key), 0);
  ASSERT_EQ(SetText(*key, name, text), 0);
}

struct RoundTrip {
  const char* name;
  std::string hive;                             // after the header
  std::function<void(MemoryRegistry&)> change;  // through the narrow API
  std::vector<std::string> kept;                // text the rewrite must still hold
  std::vector<std::string> gone;                // text it must no longer hold
};

TEST(RegistryHiveTest, RewritesKeepWhatTheRunDidNotChange) {
  const std::string cyrillic = "[Software\\\\\\x0422\\x0435\\x0441\\x0442] 1700000000\n"
                               "#time=1d9b0c0a0b0c0d0\n\"A\"=\"1\"\n\n";
  const std::string cjk = "[Software\\\\\\x6d4b\\x8bd5\\x540d\\x79f0] 1700000000\n\"B\"=\"2\"\n\n";
  const std::string unusual =
      "[Software\\\\Kept] 1700000000\n#time=1d9\n#class=\"x\"\n\"Multi\"=hex(7):41,00,00,00,00,00\n"
      "\"Odd\"=hex(ffff0011):01,02\n\"Long\"=hex:01,02,\\\n  03\n\"Exp\"=str(2):\"%HOME%\\\\x\"\n\n"
      "[Software\\\\Link] 1700000000\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n\n";
  const RoundTrip cases[] = {
      {"Cyrillic and CJK names of equal length stay two keys", cyrillic + cjk,
       [](MemoryRegistry& r) { Set(r, "Software\\Other", "V", "x"); },
       {cyrillic, cjk, "[Software\\\\Other] 1800000000\n\"V\"=\"x\"\n"}, {}},
      {"a changed key keeps its text outside 1252",
       "[Mail] 1700000000\n#time=1d9\n\"Name\"=\"\\x0416ane \\x4e2d\"\n\"Port\"=dword:0000006e\n\n",
       [](MemoryRegistry& r) {
         std::unique_ptr<RegistryKey> key;
         ASSERT_EQ(r.Create(RegRoot::CurrentUser, "Mail", key), 0);
         ASSERT_EQ(SetDword(*key, "Port", 995), 0);
       },
       {"[Mail] 1800000000\n#time=", "\n\"Name\"=\"\\x0416ane \\x4e2d\"\n\"Port\"=dword:000003e3\n\n"},
       {"?", "#time=1d9\n", "dword:0000006e"}},
      {"a key in two blocks is merged in order when it changes",
       "[A] 1700000000\n\"x\"=\"1\"\n\n[B] 1700000000\n\"b\"=\"2\"\n\n[A] 1700000001\n\"y\"=\"3\"\n\n",
       [](MemoryRegistry& r) { Set(r, "a", "Z", "4"); },
       {"[A] 1800000000\n\"x\"=\"1\"\n\"y\"=\"3\"\n\"Z\"=\"4\"\n\n[B] 1700000000\n\"b\"=\"2\"\n\n"},
       {"1700000001"}},
      {"a key in two blocks stays as it is when unchanged",
       "[A] 1700000000\n\"x\"=\"1\"\n\n[B] 1700000000\n\"b\"=\"2\"\n\n[A] 1700000001\n\"y\"=\"3\"\n\n",
       [](MemoryRegistry& r) { Set(r, "B", "c", "5"); },
       {"[A] 1700000000\n\"x\"=\"1\"\n\n", "[A] 1700000001\n\"y\"=\"3\"\n\n",
        "[B] 1800000000\n\"b\"=\"2\"\n\"c\"=\"5\"\n\n"},
       {}},
      {"values under the root key line are kept",
       "[] 1700000000\n\"Top\"=\"t\"\n@=\"d\"\n\n[Sub] 1700000000\n\n",
       [](MemoryRegistry& r) { Set(r, "", "Top", "u"); },
       {"[] 1800000000\n\"Top\"=\"u\"\n@=\"d\"\n\n[Sub] 1700000000\n\n"}, {}},
      {"value types the program never uses and link keys survive", unusual,
       [](MemoryRegistry& r) { Set(r, "Software\\Kept", "New", "n"); },
       {"#class=\"x\"\n\"Multi\"=hex(7):41,00,00,00,00,00\n\"Odd\"=hex(ffff0011):01,02\n"
        "\"Long\"=hex:01,02,\\\n  03\n\"Exp\"=str(2):\"%HOME%\\\\x\"\n\"New\"=\"n\"\n",
        "[Software\\\\Link] 1700000000\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n\n"},
       {}},
      {"a new key after a last line without a line end starts a line of its own",
       "[K] 1700000000\n\"a\"=\"1\"",
       [](MemoryRegistry& r) { Set(r, "L", "b", "2"); },
       {"\"a\"=\"1\"\n[L] 1800000000\n\"b\"=\"2\"\n"}, {}},
      {"a deleted value leaves its key's block",
       "[K] 1700000000\n\"a\"=\"1\"\n\"b\"=\"2\"\n\n",
       [](MemoryRegistry& r) {
         std::unique_ptr<RegistryKey> key;
         ASSERT_EQ(r.Open(RegRoot::CurrentUser, "K", RegAccess::All, key), 0);
         ASSERT_EQ(key->DeleteValue("A"), 0);
       },
       {"[K] 1800000000\n\"b\"=\"2\"\n\n"}, {"\"a\"="}},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = kHeader + c.hive;
    MemoryRegistry registry;
    RegistryHive hive;
    std::string error;
    ASSERT_TRUE(hive.Load(text, registry.RootNode(RegRoot::CurrentUser), error)) << error;
    EXPECT_EQ(hive.Render(registry.RootNode(RegRoot::CurrentUser), kStamp), text);

    c.change(registry);
    const std::string rewritten = hive.Render(registry.RootNode(RegRoot::CurrentUser), kStamp);
    EXPECT_EQ(rewritten.rfind(kHeader, 0), 0u);
    for (const std::string& part : c.kept) EXPECT_NE(rewritten.find(part), std::string::npos) << part << "\n" << rewritten;
    for (const std::string& part : c.gone) EXPECT_EQ(rewritten.find(part), std::string::npos) << part << "\n" << rewritten;

    // What was written reads back to the same tree, and writes back unchanged.
    MemoryRegistry again;
    RegistryHive reread;
    ASSERT_TRUE(reread.Load(rewritten, again.RootNode(RegRoot::CurrentUser), error)) << error;
    EXPECT_EQ(reread.Render(again.RootNode(RegRoot::CurrentUser), kStamp + 1), rewritten);
  }
}

// Each value form Wine writes is read as the type and data Windows would
// return, and a value of that type written anew takes the same form.
TEST(RegistryHiveTest, ValueFormsAreReadAndWrittenAsWineWritesThem) {
  struct Form {
    const char* line;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    const char* written;  // when a new value of this type is written otherwise
  };
  const std::string long_hex =
      "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
      "  16,17,18,19";  // wrapped once the line passes 76 columns
  std::vector<std::uint8_t> counting(26);
  for (std::uint8_t i = 0; i < counting.size(); ++i) counting[i] = i;
  const Form forms[] = {
      {"\"S\"=\"a\\x00e9\"", reg_type::kSz, {'a', 0, 0xe9, 0, 0, 0}, nullptr},
      {"@=\"d\"", reg_type::kSz, {'d', 0, 0, 0}, nullptr},
      {"\"E\"=str(2):\"%A%\"", reg_type::kExpandSz, {'%', 0, 'A', 0, '%', 0, 0, 0}, nullptr},
      {"\"D\"=dword:000003e3", reg_type::kDword, {0xe3, 0x03, 0, 0}, nullptr},
      {"\"B\"=hex:01,ff", reg_type::kBinary, {0x01, 0xff}, nullptr},
      {"\"M\"=hex(7):41,00,00,00,00,00", reg_type::kMultiSz, {0x41, 0, 0, 0, 0, 0}, nullptr},
      {"\"O\"=hex(ffff0011):01,02", 0xffff0011u, {1, 2}, nullptr},
      {"\"T\"=str(7):\"a\"", reg_type::kMultiSz, {'a', 0, 0, 0}, "\"T\"=hex(7):61,00,00,00"},
      {long_hex.c_str(), reg_type::kBinary, counting, nullptr},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.line);
    RegistryNode root;
    RegistryHive hive;
    std::string error;
    ASSERT_TRUE(hive.Load(std::string(kHeader) + "[K] 1700000000\n" + form.line + "\n\n", root, error))
        << error;
    const RegistryNode* key = root.FindSubkey(u"K");
    ASSERT_TRUE(key);
    ASSERT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->values[0].second.type, form.type);
    EXPECT_EQ(key->values[0].second.data, form.data);

    RegistryNode fresh;
    RegistryHive empty;
    ASSERT_TRUE(empty.Load(kHeader, fresh, error)) << error;
    fresh.AddSubkey(u"New").SetValue(key->values[0].first, key->values[0].second);
    EXPECT_EQ(empty.Render(fresh, kStamp), std::string(kHeader) + "[New] 1800000000\n" +
                                               (form.written ? form.written : form.line) + "\n\n");
  }
}

std::string Nested(std::size_t depth) {
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) path += i ? "\\\\k" : "k";
  return std::string(kHeader) + "[" + path + "] 1700000000\n\"v\"=\"deep\"\n\n";
}

TEST(RegistryHiveTest, KeysNestedDeeperThanWindowsAllowsAreRefused) {
  struct Case {
    std::size_t depth;
    bool loads;
  };
  for (const Case c : {Case{512, true}, Case{513, false}, Case{20000, false}}) {
    SCOPED_TRACE(c.depth);
    MemoryRegistry registry;
    RegistryHive hive;
    std::string error;
    EXPECT_EQ(hive.Load(Nested(c.depth), registry.RootNode(RegRoot::CurrentUser), error), c.loads);
    if (c.loads) {
      EXPECT_EQ(hive.Render(registry.RootNode(RegRoot::CurrentUser), kStamp), Nested(c.depth));
    } else {
      EXPECT_NE(error.find("512"), std::string::npos) << error;
    }
  }
  // Nor can a run nest them deeper.
  MemoryRegistry registry;
  std::string path = "k";
  for (int i = 1; i < 513; ++i) path += "\\k";
  std::unique_ptr<RegistryKey> key;
  EXPECT_NE(registry.Create(RegRoot::CurrentUser, path, key), 0);
}

// Windows compares key names by their upper-cased UTF-16 form, so blocks whose
// names differ only in case outside Latin-1 are one key, and names that differ
// otherwise stay apart.
TEST(RegistryHiveTest, KeyNamesCompareWithoutRegardToCaseInEveryScript) {
  const std::string text = std::string(kHeader) +
                           "[S\\\\\\x0442\\x0435\\x0441\\x0442] 1700000000\n\"a\"=\"1\"\n\n"      // тест
                           "[S\\\\\\x0422\\x0415\\x0421\\x0422] 1700000000\n\"b\"=\"2\"\n\n"      // ТЕСТ
                           "[S\\\\\\x0442\\x043e\\x0441\\x0442] 1700000000\n\n"                     // тост
                           "[S\\\\\\x03c3\\x03c2] 1700000000\n\n[S\\\\\\x03a3\\x03a3] 1700000000\n\n"  // σς ΣΣ
                           "[S\\\\\\xff41] 1700000000\n\n[S\\\\\\xff21] 1700000000\n\n";           // ａ Ａ
  RegistryNode root;
  RegistryHive hive;
  std::string error;
  ASSERT_TRUE(hive.Load(text, root, error)) << error;
  const RegistryNode* s = root.FindSubkey(u"s");
  ASSERT_TRUE(s);
  std::vector<std::u16string> names;
  for (const auto& [upper, child] : s->subkeys) names.push_back(child->name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"\x03c3\x03c2", u"\x0442\x0435\x0441\x0442",
                                                u"\x0442\x043e\x0441\x0442", u"\xff41"}));
  const RegistryNode* test = s->FindSubkey(u"\x0422\x0415\x0421\x0422");
  ASSERT_TRUE(test);
  EXPECT_EQ(test->values.size(), 2u);
}

// Names and text outside the code page, seen through the narrow API.
TEST(RegistryHiveTest, TheNarrowApiNeverMistakesANameOutsideTheCodePage) {
  const std::string text = std::string(kHeader) +
                           "[S\\\\\\x0422\\x0435\\x0441\\x0442] 1700000000\n\"v\"=\"1\"\n\n"
                           "[S\\\\\\x0191x] 1700000000\n\n"  // upper-case of "\x83x" (f-hook)
                           "[S\\\\Plain] 1700000000\n\"\\x0416\"=\"w\"\n\"T\"=\"\\x4e2d\"\n"
                           "\"L\"=\"Caf\\x00e9 \\x20ac\"\n\n";
  MemoryRegistry registry;
  RegistryHive hive;
  std::string error;
  ASSERT_TRUE(hive.Load(text, registry.RootNode(RegRoot::CurrentUser), error)) << error;

  std::unique_ptr<RegistryKey> parent;
  ASSERT_EQ(registry.Open(RegRoot::CurrentUser, "S", RegAccess::All, parent), 0);
  std::uint32_t count = 0;
  ASSERT_EQ(parent->QuerySubkeyCount(count), 0);
  EXPECT_EQ(count, 3u);
  std::vector<long> results;
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string name;
    results.push_back(parent->EnumKey(i, 100, name));
    if (results.back() == 0) names.push_back(name);
  }
  EXPECT_EQ(results, (std::vector<long>{0, kNoUnicodeTranslation, kNoUnicodeTranslation}));
  EXPECT_EQ(names, (std::vector<std::string>{"Plain"}));

  struct Lookup {
    const char* path;
    long open;
  };
  for (const Lookup l : {Lookup{"S\\????", 2}, Lookup{"S\\\x83x", 2}, Lookup{"S\\PLAIN", 0}}) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(registry.Open(RegRoot::CurrentUser, l.path, RegAccess::Read, key), l.open) << l.path;
  }
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(registry.Create(RegRoot::CurrentUser, "S\\\x83X", key), 5);  // never written over

  ASSERT_EQ(registry.Open(RegRoot::CurrentUser, "S\\Plain", RegAccess::All, key), 0);
  RegValue value;
  EXPECT_EQ(key->QueryValue("?", 100, value), 2);
  EXPECT_EQ(key->QueryValue("T", 100, value), kNoUnicodeTranslation);
  EXPECT_EQ(ReadText(*key, "L", 100).value_or("-"), "Caf\xe9 \x80");
  EXPECT_EQ(key->QueryValue("L", 6, value), 234);  // six narrow characters and the NUL
}

}  // namespace
}  // namespace quillbank
