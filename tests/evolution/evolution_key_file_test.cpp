// The key files of Evolution's sources: what a value becomes in the file and
// back, and that a rewrite changes the lines of the keys it sets only.
#include <gtest/gtest.h>

#include <string>

#include "clients/evolution/evolution_key_file.h"

namespace quillbank::evolution {
namespace {

struct EscapeCase {
  const char* what;
  std::string value;
  std::string stored;
};

// No value may start a line, a key or a group of its own, and each comes
// back as it went in.
TEST(EvolutionKeyFile, ValuesAreEscapedAsTheRegistryServiceReadsThem) {
  const EscapeCase cases[] = {
      {"plain text", "Jane Doe", "Jane Doe"},
      {"a leading space", "  Jane", "\\s Jane"},
      {"a space inside and at the end", "Jane Doe ", "Jane Doe "},
      {"a line end that would start a group", "Jane\n[Data Source]\nParent=x",
       "Jane\\n[Data Source]\\nParent=x"},
      {"a carriage return and a tab", "a\rb\tc", "a\\rb\\tc"},
      {"a backslash that looks like an escape", "C:\\new", "C:\\\\new"},
      {"brackets and equals signs", "[x] = y", "[x] = y"},
      {"UTF-8 text", "Zo\xC3\xAB \xE5\xB1\xB1\xE7\x94\xB0", "Zo\xC3\xAB \xE5\xB1\xB1\xE7\x94\xB0"},
      {"empty", "", ""},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(EscapeValue(c.value), c.stored);
    KeyFile file;
    file.Set("Mail Identity", "Name", c.value);
    EXPECT_EQ(file.Text(), "[Mail Identity]\nName=" + c.stored + "\n");
    const KeyFile read(file.Text());
    EXPECT_EQ(read.Get("Mail Identity", "Name"), c.value);
    EXPECT_FALSE(read.HasGroup("Data Source"));
    EXPECT_EQ(read.Get("Mail Identity", "Parent"), std::nullopt);
  }
  // What the file may hold beyond what the run writes.
  EXPECT_EQ(UnescapeValue("\\x\\"), "\\x\\");
  EXPECT_EQ(KeyFile("[G]\n  Key  =   \\s v \n").Get("G", "Key"), "  v ");
}

struct RewriteCase {
  const char* what;
  std::string before;
  std::string after;  // once Host is set to "new" in [Authentication]
};

TEST(EvolutionKeyFile, ARewriteKeepsEveryLineItDoesNotSet) {
  const RewriteCase cases[] = {
      {"the key is replaced in place",
       "[Data Source]\nDisplayName=a\n\n[Authentication]\nHost=old\nPort=995\n",
       "[Data Source]\nDisplayName=a\n\n[Authentication]\nHost=new\nPort=995\n"},
      {"a missing key follows the group's last key, before its blank line",
       "[Authentication]\nPort=995\n\n[Security]\nMethod=none\n",
       "[Authentication]\nPort=995\nHost=new\n\n[Security]\nMethod=none\n"},
      {"a missing group is added at the end",
       "[Data Source]\nDisplayName=a\n# kept\nX-Unknown=1",
       "[Data Source]\nDisplayName=a\n# kept\nX-Unknown=1\n\n[Authentication]\nHost=new\n"},
      {"blanks around the key, a repeated key, comments and localized keys",
       "[Authentication]\r\n  Host = old\r\n#Host=comment\r\nHost[de]=alt\r\nHost=older\r\n",
       "[Authentication]\r\nHost=new\r\n#Host=comment\r\nHost[de]=alt\r\nHost=new\r\n"},
      {"the same key of another group stays",
       "[Proxy]\nHost=proxy\n\n[Authentication]\nUser=jane\n",
       "[Proxy]\nHost=proxy\n\n[Authentication]\nUser=jane\nHost=new\n"},
      {"an empty file", "", "[Authentication]\nHost=new\n"},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.what);
    KeyFile file(c.before);
    file.Set("Authentication", "Host", "new");
    EXPECT_EQ(file.Text(), c.after);
    EXPECT_EQ(KeyFile(file.Text()).Get("Authentication", "Host"), "new");
  }
}

}  // namespace
}  // namespace quillbank::evolution
