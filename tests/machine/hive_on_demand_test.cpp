// A hive in the order Wine writes it is read only where the run looks, and
// what the run changes comes out where reading it whole would put it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "env/platform/machine/registry_hive.h"
#include "env/registry_access.h"

namespace quillbank {
namespace {

constexpr const char* kHeader = "WINE REGISTRY Version 2\n\n#arch=win64\n\n";
constexpr long long kStamp = 1800000000;

std::unique_ptr<RegistryKey> Create(MemoryRegistry& registry, const char* path) {
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(registry.Create(RegRoot::CurrentUser, path, key), 0) << path;
  return key;
}

TEST(HiveOnDemandTest, OnlyTheKeysOnTheWayAreRead) {
  const std::string text = std::string(kHeader) +
                           "[A\\\\B] 1700000000\n\"v\"=\"1\"\n\n"
                           "[A\\\\C] 1700000000\n\"w\"=\"2\"\n\n"
                           "[D] 1700000000\n\n";
  MemoryRegistry registry;
  RegistryNode& root = registry.RootNode(RegRoot::CurrentUser);
  RegistryHive hive;
  std::string error;
  ASSERT_TRUE(hive.Load(text, root, error)) << error;
  EXPECT_NE(root.loader, nullptr);

  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry.Open(RegRoot::CurrentUser, "a\\b", RegAccess::Read, key), 0);
  EXPECT_EQ(ReadText(*key, "V", 100), "1");
  const RegistryNode* a = root.subkeys.at(u"A").get();
  EXPECT_EQ(a->loader, nullptr);
  EXPECT_NE(a->subkeys.at(u"C")->loader, nullptr);  // a sibling never looked at
  EXPECT_NE(root.subkeys.at(u"D")->loader, nullptr);
  EXPECT_EQ(hive.Render(root, kStamp), text);
}

struct Change {
  const char* name;
  std::string hive;  // after the header
  std::function<void(MemoryRegistry&)> change;
  std::string expected;  // after the header
};

TEST(HiveOnDemandTest, ChangesLandWhereTheWholeHiveWouldPutThem) {
  const std::string a = "[A] 1700000000\n\"x\"=\"1\"\n\n";
  const std::string a_m = "[A\\\\M] 1700000000\n\"m\"=\"2\"\n\n";
  const std::string a_m_n = "[A\\\\M\\\\N] 1700000000\n\n";
  const std::string c = "[C] 1700000000\n\"c\"=\"3\"\n\n";
  const Change changes[] = {
      {"a changed value rewrites its key alone", a + a_m + c,
       [](MemoryRegistry& r) { EXPECT_EQ(SetText(*Create(r, "A\\M"), "m", "9"), 0); },
       a + "[A\\\\M] 1800000000\n\"m\"=\"9\"\n\n" + c},
      {"a new key follows the whole subtree before it, read or not", a + a_m + a_m_n + c,
       [](MemoryRegistry& r) { EXPECT_EQ(SetText(*Create(r, "B"), "b", "4"), 0); },
       a + a_m + a_m_n + "[B] 1800000000\n\"b\"=\"4\"\n\n" + c},
      {"a new first subkey follows its parent's own lines", a + a_m + c,
       [](MemoryRegistry& r) { Create(r, "A\\B"); },
       a + "[A\\\\B] 1800000000\n\n" + a_m + c},
      {"a new last subkey follows the unread ones", a + a_m + a_m_n + c,
       [](MemoryRegistry& r) { Create(r, "A\\Z"); },
       a + a_m + a_m_n + "[A\\\\Z] 1800000000\n\n" + c},
      {"a deleted key takes its lines along", a + a_m + a_m_n + c,
       [](MemoryRegistry& r) { EXPECT_EQ(r.DeleteKey(RegRoot::CurrentUser, "A\\M\\N"), 0); },
       a + a_m + c},
      {"Wine's order puts \"_\" before letters", "[K\\\\_u] 1700000000\n\n[K\\\\Ab] 1700000000\n\n",
       [](MemoryRegistry& r) { Create(r, "K\\Zz"); },
       "[K\\\\_u] 1700000000\n\n[K\\\\Ab] 1700000000\n\n[K\\\\Zz] 1800000000\n\n"},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.name);
    MemoryRegistry registry;
    RegistryNode& root = registry.RootNode(RegRoot::CurrentUser);
    RegistryHive hive;
    std::string error;
    ASSERT_TRUE(hive.Load(kHeader + c.hive, root, error)) << error;
    ASSERT_NE(root.loader, nullptr) << "the hive was not read on demand";
    c.change(registry);
    EXPECT_EQ(hive.Render(root, kStamp), kHeader + c.expected);
  }
}

// Plain names are ordered from their bytes, escaped ones once read; both
// must judge alike, or a hive out of order would be read on demand.
TEST(HiveOnDemandTest, KeyOrderIsJudgedAlikeForPlainAndEscapedNames) {
  struct Order {
    const char* keys;  // key lines, each followed by a blank line
    bool on_demand;
  };
  const Order orders[] = {
      {"[A]|[a\\\\b]", true},
      {"[B]|[A]", false},
      {"[A]|[a]", false},  // the same key twice
      {"[K\\\\b]|[K\\\\\\x00e9]", true},
      {"[K\\\\\\x00e9]|[K\\\\b]", false},
      {"[A\\\\B]|[A B]", true},  // a component ends before any character
      {"[A B]|[A\\\\B]", false},
      {"[A]|[A\\\\\\\\B]", true},  // an empty component counts for nothing
      {"[A\\\\\\]x]|[A\\\\b]", true},  // "]" before "b", escaped or not
      {"[A\\\\b]|[A\\\\\\]x]", false},
  };
  for (const Order& order : orders) {
    SCOPED_TRACE(order.keys);
    std::string text = kHeader;
    std::string keys = order.keys;
    for (std::size_t bar; (bar = keys.find('|')) != std::string::npos;) {
      text += keys.substr(0, bar) + " 1700000000\n\n";
      keys.erase(0, bar + 1);
    }
    text += keys + " 1700000000\n\n";
    RegistryNode root;
    RegistryHive hive;
    std::string error;
    ASSERT_TRUE(hive.Load(text, root, error)) << error;
    EXPECT_EQ(root.loader != nullptr, order.on_demand);
    EXPECT_EQ(hive.Render(root, kStamp), text);
  }
}

// Hex data continued on a line that starts with "[" is data, in a hive read
// on demand as in one read whole (keys out of order).
TEST(HiveOnDemandTest, AContinuedHexLineIsNeverAKey) {
  const std::string data = "\"h\"=hex:01,\\\n[Fake] 1700000000\n";
  for (const std::string& order : {"[A] 1700000000\n" + data + "\n[B] 1700000000\n\n",
                                  "[B] 1700000000\n\n[A] 1700000000\n" + data + "\n"}) {
    SCOPED_TRACE(order);
    MemoryRegistry registry;
    RegistryNode& root = registry.RootNode(RegRoot::CurrentUser);
    RegistryHive hive;
    std::string error;
    ASSERT_TRUE(hive.Load(kHeader + order, root, error)) << error;
    EXPECT_EQ(root.FindSubkey(u"Fake"), nullptr);
    const RegistryNode* a = root.FindSubkey(u"A");
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a->FindValue(u"h"), nullptr);
    EXPECT_EQ(hive.Render(root, kStamp), kHeader + order);
  }
}

}  // namespace
}  // namespace quillbank
