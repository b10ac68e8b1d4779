// Eudora.ini on an in-memory machine: where the file is found, which section
// takes the account, exactly which lines change, the log, and that every
// failed run leaves the file as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clients/eudora/eudora_configurator.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::FakePlatform;
using testing::LinesOf;
using Lines = std::vector<std::string>;

constexpr const char* kAppData = "C:\\Users\\jane\\AppData\\Roaming";
constexpr const char* kIni = "C:\\Users\\jane\\AppData\\Roaming\\Qualcomm\\Eudora\\Eudora.ini";
constexpr const char* kAddress = "jane@tessaline.net";
constexpr const char* kName = "Jane Roe";

std::string Crlf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

Lines Join(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The fifteen key lines for jane, keyed as the whole block writes them.
Lines KeyBlock(bool ssl, const std::string& first_key = "POPAccount") {
  const std::string in = ssl ? "secure.tessaline.net" : "pop.tessaline.net";
  const std::string out = ssl ? "secure.tessaline.net" : "smtp.tessaline.net";
  const std::string use = ssl ? "2" : "0";
  return {first_key + "=jane@tessaline.net@" + in,
          "RealName=Jane Roe",
          "SMTPServer=" + out,
          "ReturnAddress=jane@tessaline.net",
          "PopServer=" + in,
          "LoginName=jane@tessaline.net",
          "SmtpAuthAllowed=1",
          "PopBeforeSmtpAuthTime=0",
          "LeaveMailOnServer=0",
          "SSLReceiveUse=" + use,
          "SSLSendUse=" + use,
          "UsesIMAP=0",
          "UsesPOP=1",
          std::string("PopPort=") + (ssl ? "995" : "110"),
          std::string("SMTPPort=") + (ssl ? "465" : "587")};
}

Lines PersonaSection(bool ssl) {
  return Join({"[Persona-jane@tessaline.net]"}, KeyBlock(ssl, "IMAPAccount"));
}

// A settings account and two personas that belong to other people.
Lines TwoPersonas() { return testing::TestDataLines("eudora/two_personas.ini"); }

class EudoraConfiguratorTest : public ::testing::Test {
 protected:
  EudoraConfiguratorTest() {
    fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", kAppData);
  }

  void PutIni(const Lines& lines) { fake.files.Put(kIni, Crlf(lines)); }

  ConfigStatus Run(bool overwrite = false, bool ssl = false, const std::string& address = kAddress,
                   const std::string& name = kName) {
    EudoraConfigurator configurator(fake.platform,
                                    AccountRequest{address, name, false, overwrite, ssl, log.log()});
    return configurator.Configure();
  }

  std::string Bytes(const char* path = kIni) { return fake.files.ReadFile(path).value_or("<none>"); }

  // Compares line by line first (readable), then byte by byte (CR LF).
  void ExpectIni(const Lines& expected) {
    EXPECT_EQ(LinesOf(Bytes()), expected);
    EXPECT_EQ(Bytes(), Crlf(expected));
  }

  FakePlatform fake;
  CapturedLog log;
};

// ------------------------------------------------------------ settings account

TEST_F(EudoraConfiguratorTest, SettingsWithoutAnyKeyGetTheWholeBlockAtTheirEnd) {
  PutIni({"[Settings]", "AutoCheck=1", "", "[Fonts]", "Size=10"});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni(Join(Join({"[Settings]", "AutoCheck=1", ""}, KeyBlock(false)), {"[Fonts]", "Size=10"}));
}

TEST_F(EudoraConfiguratorTest, FreeSettingsAccountIsFilledInPlace) {
  PutIni({"[Settings]", "RealName=", "CheckFreq=5", "ReturnAddress=", "[Other]", "x=1"});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni({"[Settings]", "RealName=Jane Roe", "CheckFreq=5", "ReturnAddress=jane@tessaline.net",
             "PopPort=110", "SMTPPort=587", "[Other]", "x=1"});
}

TEST_F(EudoraConfiguratorTest, ACommentNamingAKeyIsNotTakenForTheSetting) {
  PutIni({"[Settings]", "; PopPort=995 once", "RealName=", "ReturnAddress=", "PopPort=1"});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni({"[Settings]", "; PopPort=995 once", "RealName=Jane Roe",
             "ReturnAddress=jane@tessaline.net", "PopPort=110", "SMTPPort=587"});
}

TEST_F(EudoraConfiguratorTest, ServerKeyIsWrittenPOPServerAndOnlyMissingPortsAreAdded) {
  PutIni({"[Settings]", "RealName=", "ReturnAddress=", "PopServer=", "PopPort=", "SMTPPortable=1"});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni({"[Settings]", "RealName=Jane Roe", "ReturnAddress=jane@tessaline.net",
             "POPServer=pop.tessaline.net", "PopPort=110", "SMTPPortable=1", "SMTPPort=587"});
}

TEST_F(EudoraConfiguratorTest, SettingsSectionIsFilledWhereverItStands) {
  // An empty list of personas before the settings: the account still goes
  // into [Settings], and lines before any header stay as they are.
  PutIni({"; RealName", "[Personalities]", "[Settings]", "RealName=", "ReturnAddress="});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni({"; RealName", "[Personalities]", "[Settings]", "RealName=Jane Roe",
             "ReturnAddress=jane@tessaline.net", "PopPort=110", "SMTPPort=587"});
}

// -------------------------------------------------------------------- personas

TEST_F(EudoraConfiguratorTest, ThirdPersonaIsListedAfterPersona1WithItsSection) {
  const Lines two_personas = TwoPersonas();
  PutIni(two_personas);
  ASSERT_EQ(Run(), status::kSuccess);
  Lines expected(two_personas.begin(), two_personas.begin() + 7);
  expected.push_back("Persona2=Persona-jane@tessaline.net");
  expected = Join(expected, PersonaSection(false));
  expected.insert(expected.end(), two_personas.begin() + 7, two_personas.end());
  ExpectIni(expected);
}

TEST_F(EudoraConfiguratorTest, ListIsAppendedWhenThereWasNone) {
  // The last line has no line end; the copy gets one and nothing more.
  fake.files.Put(kIni, "[Settings]\r\nRealName=Bob\nReturnAddress=bob@example.com");
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni(Join({"[Settings]", "RealName=Bob", "ReturnAddress=bob@example.com", "[Personalities]",
                  "Persona0=Persona-jane@tessaline.net"},
                 PersonaSection(false)));
}

TEST_F(EudoraConfiguratorTest, PersonaWithSslUsesTheSecureHostAndPorts) {
  PutIni({"[Settings]", "RealName=Bob", "[Personalities]"});
  ASSERT_EQ(Run(false, true), status::kSuccess);
  ExpectIni(Join({"[Settings]", "RealName=Bob", "[Personalities]",
                  "Persona0=Persona-jane@tessaline.net"},
                 PersonaSection(true)));
  const Lines written = LinesOf(Bytes());
  EXPECT_EQ(written[5], "IMAPAccount=jane@tessaline.net@secure.tessaline.net");
  EXPECT_EQ(written[9], "PopServer=secure.tessaline.net");
}

TEST_F(EudoraConfiguratorTest, NewPersonaStaysInsideTheList) {
  // A list with a gap and a header written with a trailing blank: the entry
  // follows the list's last persona, never a later section's header.
  PutIni({"[Settings]", "RealName=Bob", "[Personalities] ", "Persona0=Persona-a",
          "Persona2=Persona-c", "[Persona-a]", "[Persona-c]"});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni(Join(Join({"[Settings]", "RealName=Bob", "[Personalities] ", "Persona0=Persona-a",
                       "Persona2=Persona-c", "Persona3=Persona-jane@tessaline.net"},
                      PersonaSection(false)),
                 {"[Persona-a]", "[Persona-c]"}));
}

TEST_F(EudoraConfiguratorTest, ALineMentioningTheListDoesNotTakeThePersona) {
  // Inserted after the comment, the persona's header would take the
  // settings account's address into the new section.
  const Lines settings{"[Settings]", "; see [Personalities]", "RealName=Bob",
                       "ReturnAddress=bob@example.com"};
  PutIni(settings);
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni(Join(Join(settings, {"[Personalities]", "Persona0=Persona-jane@tessaline.net"}),
                 PersonaSection(false)));
}

TEST_F(EudoraConfiguratorTest, FileWithoutSettingsSectionGetsAPersona) {
  PutIni({"AutoCheck=1", "RealName="});
  ASSERT_EQ(Run(), status::kSuccess);
  ExpectIni(Join({"AutoCheck=1", "RealName=", "[Personalities]", "Persona0=Persona-jane@tessaline.net"},
                 PersonaSection(false)));
}

// ------------------------------------------------------------ existing account

TEST_F(EudoraConfiguratorTest, AddressInOtherCaseIsFoundAndNothingIsWritten) {
  const Lines before{"[Settings]", "ReturnAddress=JANE@Tessaline.NET", "RealName=Jane"};
  PutIni(before);
  EXPECT_EQ(Run(), status::kAlreadyExists);
  ExpectIni(before);
  EXPECT_EQ(log.Lines().back(), "Searching for existant jane@tessaline.net account ...  found. No changes will be made.");
}

TEST_F(EudoraConfiguratorTest, ResetInPersonaChangesOnlyThatSection) {
  Lines before = TwoPersonas();
  before.insert(before.begin() + 7, "Persona2=Persona-jane");
  const Lines old_section{"[Persona-jane]", "IMAPAccount=jane@tessaline.net@pop.tessaline.net",
                          "RealName=Old Name",   "ReturnAddress=Jane@tessaline.net",
                          "PopServer=pop.tessaline.net", "SSLReceiveUse=0",
                          "SMTPPort=587",        "Signature=Jane"};
  before = Join(Join(before, old_section), {"[Dictionaries]", "RealName=Jane"});
  PutIni(before);
  ASSERT_EQ(Run(true, true), status::kSuccess);
  Lines expected(before.begin(), before.end() - 10);
  expected = Join(expected, {"[Persona-jane]", "IMAPAccount=jane@tessaline.net@pop.tessaline.net",
                             "RealName=Jane Roe", "ReturnAddress=jane@tessaline.net",
                             "POPServer=secure.tessaline.net", "SSLReceiveUse=2", "SMTPPort=465",
                             "Signature=Jane", "PopPort=995", "[Dictionaries]", "RealName=Jane"});
  ExpectIni(expected);
}

TEST_F(EudoraConfiguratorTest, SecondResetReplacesTheServerLineTheFirstWrote) {
  PutIni({"[Settings]", "RealName=Bob", "ReturnAddress=jane@tessaline.net", "PopServer=old.example"});
  ASSERT_EQ(Run(true, false), status::kSuccess);
  ASSERT_EQ(Run(true, true), status::kSuccess);
  ExpectIni({"[Settings]", "RealName=Jane Roe", "ReturnAddress=jane@tessaline.net",
             "POPServer=secure.tessaline.net", "PopPort=995", "SMTPPort=465"});
}

TEST_F(EudoraConfiguratorTest, ResetChangesTheSectionThatHoldsTheAddress) {
  // Two sections with the same header: the one with the address is reset.
  PutIni({"[Persona-x]", "ReturnAddress=bob@example.com", "[Persona-x]",
          "ReturnAddress=jane@tessaline.net", "PopPort=1", "SMTPPort=2"});
  ASSERT_EQ(Run(true), status::kSuccess);
  ExpectIni({"[Persona-x]", "ReturnAddress=bob@example.com", "[Persona-x]",
             "ReturnAddress=jane@tessaline.net", "PopPort=110", "SMTPPort=587"});
  // An address above every header: the lines up to the first header are its
  // section.
  PutIni({"ReturnAddress=jane@tessaline.net", "[Settings]", "RealName=Bob"});
  ASSERT_EQ(Run(true), status::kSuccess);
  ExpectIni({"ReturnAddress=jane@tessaline.net", "PopPort=110", "SMTPPort=587", "[Settings]",
             "RealName=Bob"});
}

TEST_F(EudoraConfiguratorTest, SecondRunWithoutOverwriteLeavesTheFileByteForByte) {
  PutIni(TwoPersonas());
  ASSERT_EQ(Run(), status::kSuccess);
  const std::string after_first = Bytes();
  CapturedLog second_log;
  EudoraConfigurator again(fake.platform,
                           AccountRequest{kAddress, "Someone Else", false, false, true, second_log.log()});
  EXPECT_EQ(again.Configure(), status::kAlreadyExists);
  EXPECT_EQ(Bytes(), after_first);
  EXPECT_EQ(fake.files.replacements(), 1);  // the second run wrote nothing
}

// ------------------------------------------------------------------- failures

TEST_F(EudoraConfiguratorTest, FailedWriteLeavesTheFileAndReports7WithTheReason) {
  struct Case {
    bool read_only;
    const char* reason;
  };
  for (const Case& c : {Case{false, ""}, Case{true, ": the file is read-only"}}) {
    PutIni(TwoPersonas());
    fake.files.FailWritesEndingWith(c.read_only ? "" : "Eudora.ini");
    if (c.read_only) fake.files.MarkReadOnly(kIni);
    EXPECT_EQ(Run(true), status::kWriteFailed);
    ExpectIni(TwoPersonas());
    EXPECT_EQ(log.Lines().back(),
              std::string("Could not write ") + kIni + c.reason + ". No changes were made.");
  }
}

TEST_F(EudoraConfiguratorTest, UnsafeInputIsRefusedBeforeTheFileIsRead) {
  PutIni({"[Settings]"});
  EXPECT_EQ(Run(false, false, kAddress, "Jane\r\n[Settings]"), status::kUnsafeInput);
  EXPECT_EQ(Run(false, false, "jane]@tessaline.net"), status::kUnsafeInput);
  EXPECT_EQ(Run(false, false, ""), status::kUnsafeInput);
  ExpectIni({"[Settings]"});
}

// ------------------------------------------------------------------ locations

TEST_F(EudoraConfiguratorTest, ProcessEnvironmentNamesTheFolderWhenTheSessionDoesNot) {
  fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", "");
  fake.environment.Set("APPDATA", kAppData);
  PutIni({"[Settings]"});
  EXPECT_EQ(Run(), status::kSuccess);
}

TEST_F(EudoraConfiguratorTest, AppPathsEntryLeadsToTheFileBesideTheProgram) {
  const std::string beside = "C:\\Program Files\\Qualcomm\\Eudora\\Eudora.ini";
  fake.SetText(RegRoot::LocalMachine,
               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Eudora.exe", "",
               "C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe");
  fake.files.Put(beside, "[Settings]\r\n");
  ASSERT_EQ(Run(), status::kSuccess);
  EXPECT_EQ(LinesOf(*fake.files.ReadFile(beside)), Join({"[Settings]"}, KeyBlock(false)));
}

TEST_F(EudoraConfiguratorTest, NoFileInEitherPlaceFailsWithoutSearching) {
  // No APPDATA anywhere, and an App Paths entry that names another program.
  fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", "");
  fake.SetText(RegRoot::LocalMachine,
               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Eudora.exe", "",
               "C:\\Eudora\\EUDORA.EXE");
  fake.files.Put("C:\\Eudora\\Eudora.ini", "[Settings]\r\n");
  fake.files.Put("C:\\Eudora\\EUDORA.INI", "[Settings]\r\n");
  EXPECT_EQ(Run(), status::kCannotConfigure);
  EXPECT_EQ(log.Lines(), (Lines{"Starting Eudora configuration...", ""}));
  EXPECT_EQ(Bytes("C:\\Eudora\\Eudora.ini"), "[Settings]\r\n");
}

// ------------------------------------------------------------------------ log

TEST_F(EudoraConfiguratorTest, LogShowsTheSearchTheDecisionAndEveryKey) {
  PutIni({"[Settings]", "RealName=", "ReturnAddress="});
  ASSERT_EQ(Run(), status::kSuccess);
  Lines expected{"Starting Eudora configuration...",
                 "",
                 "Searching for existant jane@tessaline.net account ... not found. Creating new "
                 "account.",
                 "",
                 "The following lines were written/overwritten in the Eudora configuration file:",
                 ""};
  for (const std::string& line : KeyBlock(false)) {
    const std::size_t equals = line.find('=');
    expected.push_back(line.substr(0, equals) + ": " + line.substr(equals + 1));
  }
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_EQ(log.text(), Crlf(expected));

  CapturedLog reset_log;
  EudoraConfigurator reset(fake.platform,
                           AccountRequest{"JANE@tessaline.net", kName, false, true, false, reset_log.log()});
  ASSERT_EQ(reset.Configure(), status::kSuccess);
  EXPECT_EQ(reset_log.Lines()[2],
            "Searching for existant JANE@tessaline.net account ...  found. Reseting settings to "
            "defaults.");
  EXPECT_EQ(reset_log.Lines().size(), expected.size());
}

}  // namespace
}  // namespace quillbank
