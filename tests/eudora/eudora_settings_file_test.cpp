// The scans over Eudora.ini's lines that decide where an account goes: the
// number of the last persona, whether the settings account is taken, and the
// search for a return address.
#include <gtest/gtest.h>

#include "clients/eudora/eudora_settings_file.h"
#include "core/ascii_text.h"

namespace quillbank::eudora {
namespace {

TEST(EudoraLastPersonaNumber, TellsMissingAndEmptyListsApart) {
  EXPECT_EQ(LastPersonaNumber({"[Settings]", "RealName=Bob"}), -2);
  EXPECT_EQ(LastPersonaNumber({}), -2);
  // A line that only mentions the list is none.
  EXPECT_EQ(LastPersonaNumber({"[Settings]", "; see [Personalities]", "Persona0=x"}), -2);
  // An empty list, followed by a section or ending the file.
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "[Settings]", "Persona=x"}), -1);
  EXPECT_EQ(LastPersonaNumber({"[Settings]", "[Personalities]"}), -1);
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "", "Count=0"}), -1);
}

TEST(EudoraLastPersonaNumber, TakesTheNumberOfTheListsLastPersonaLine) {
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "Persona0=Persona-a", "Persona1=Persona-b", "",
                               "[Persona-a]", "[Persona-b]"}),
            1);
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "Persona12=Persona-a", "Persona3=Persona-b"}), 3);
  // Lines after the list's section do not count, even when they say Persona.
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "Persona0=Persona-a", "[Persona-a]",
                               "Persona7=Persona-z"}),
            0);
  // A header with something after it still names the list.
  EXPECT_EQ(LastPersonaNumber({"[Personalities] ", "Persona4=Persona-a"}), 4);
}

TEST(EudoraLastPersonaNumber, OddNumbersStayUsable) {
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "PersonaX=Persona-a"}), 0);
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "Persona-5=Persona-a"}), -1);
  EXPECT_EQ(LastPersonaNumber({"[Personalities]", "Persona99999999999999=Persona-a"}), 999999999);
  EXPECT_EQ(LeadingInteger("+42abc"), 42);
  EXPECT_EQ(LeadingInteger("-7"), -7);
  EXPECT_EQ(LeadingInteger(""), 0);
}

TEST(EudoraSettingsAccountInUse, FreeOnlyWithBothKeysEmptyOrNoneAtAll) {
  EXPECT_FALSE(SettingsAccountInUse({"[Settings]", "RealName=", "ReturnAddress=", "[Fonts]"}));
  EXPECT_FALSE(SettingsAccountInUse({"[Settings]", "AutoCheck=1"}));
  EXPECT_FALSE(SettingsAccountInUse({"[Settings]", "RealName="}));
  EXPECT_TRUE(SettingsAccountInUse({"[Settings]", "RealName=Bob", "ReturnAddress="}));
  EXPECT_TRUE(SettingsAccountInUse({"[Settings]", "ReturnAddress=bob@example.com"}));
}

TEST(EudoraSettingsAccountInUse, CountsUpToTheEndOfTheSettingsSection) {
  EXPECT_FALSE(SettingsAccountInUse(
      {"[Settings]", "RealName=", "ReturnAddress=", "[Persona-bob]", "RealName=Bob"}));
  EXPECT_TRUE(SettingsAccountInUse({"RealName=Bob", "[Settings]", "AutoCheck=1"}));
}

TEST(EudoraFindReturnAddress, MatchesWholeValueWithoutRegardToCase) {
  const SettingsLines lines{"[Settings]",    "ReturnAddress=bob@example.com", "[Persona-j]",
                            "RealName=Jane", "ReturnAddress=JANE@Tessaline.NET"};
  const AddressMatch match = FindReturnAddress(lines, "jane@tessaline.net");
  EXPECT_TRUE(match.found);
  EXPECT_EQ(match.header, std::optional<std::size_t>(2));
  EXPECT_FALSE(FindReturnAddress(lines, "jane@tessaline.ne").found);
  EXPECT_FALSE(FindReturnAddress(lines, "bob@example.com.au").found);
  EXPECT_FALSE(FindReturnAddress({"ReturnAddress"}, "x").found);
}

TEST(EudoraFindReturnAddress, LineBeforeAnyHeaderHasNoSection) {
  const AddressMatch match = FindReturnAddress({"ReturnAddress=a@b.c", "[Settings]"}, "a@b.c");
  EXPECT_TRUE(match.found);
  EXPECT_FALSE(match.header.has_value());
}

TEST(EudoraEqualsIgnoringCase, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringCase("Jane@X.Org", "jane@x.ORG"));
  EXPECT_FALSE(EqualsIgnoringCase("\xC9", "\xE9"));  // other bytes compared as they are
  EXPECT_FALSE(EqualsIgnoringCase("[", "{"));
}

}  // namespace
}  // namespace quillbank::eudora
