// Windows Mail accounts on an in-memory machine: the account files found,
// skipped, created and rewritten, the default account, and the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clients/windows_mail/windows_mail_configurator.h"
#include "tests/support/store_test_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/utf16_lines.h"

namespace quillbank {
namespace {

using testing::Utf16LeLines;
using testing::CapturedLog;
using testing::FakePlatform;

constexpr const char* kProfile = "C:\\Users\\jane";
constexpr const char* kFolder = "C:\\Users\\jane\\AppData\\Local\\Microsoft\\Windows Mail\\Local Folders";
constexpr const char* kAddress = "jane@tessaline.net";
// The file names of the first and second UUID a run takes.
constexpr const char* kFirstFile = "account{00000000-0000-4000-8000-000000000001}.oeaccount";
constexpr const char* kSecondFile = "account{00000000-0000-4000-8000-000000000002}.oeaccount";

std::string InFolder(const std::string& name) { return std::string(kFolder) + "\\" + name; }

// The lines of an account file as Utf16LeLines takes them. Fails the test when a
// line does not end with CR LF or a code unit is above 0xFF (other than a mark).
std::vector<std::string> FileLines(const std::string& bytes) {
  EXPECT_EQ(bytes.size() % 2, 0u);
  std::string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (unit == 0xFEFF) {
      text += "[BOM]";
    } else {
      EXPECT_LT(unit, 0x100u);
      text.push_back(static_cast<char>(unit));
    }
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "line without CR LF: " << text.substr(start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> ElementLines(bool ssl, const std::string& address, const std::string& name) {
  const std::string host_in = ssl ? "secure.tessaline.net" : "pop.tessaline.net";
  const std::string host_out = ssl ? "secure.tessaline.net" : "smtp.tessaline.net";
  const std::string flag = ssl ? "00000001" : "00000000";
  return {
      "    <Account_Name type=\"SZ\">" + address + "</Account_Name>",
      "    <Connection_Type type=\"DWORD\">00000003</Connection_Type>",
      "    <POP3_Server type=\"SZ\">" + host_in + "</POP3_Server>",
      "    <POP3_User_Name type=\"SZ\">" + address + "</POP3_User_Name>",
      "    <POP3_Use_Sicily type=\"DWORD\">00000000</POP3_Use_Sicily>",
      std::string("    <POP3_Port type=\"DWORD\">") + (ssl ? "000003e3" : "0000006e") + "</POP3_Port>",
      "    <POP3_Secure_Connection type=\"DWORD\">" + flag + "</POP3_Secure_Connection>",
      "    <POP3_Timeout type=\"DWORD\">0000003c</POP3_Timeout>",
      "    <Leave_Mail_On_Server type=\"DWORD\">00000000</Leave_Mail_On_Server>",
      "    <SMTP_Server type=\"SZ\">" + host_out + "</SMTP_Server>",
      "    <SMTP_Use_Sicily type=\"DWORD\">00000002</SMTP_Use_Sicily>",
      std::string("    <SMTP_Port type=\"DWORD\">") + (ssl ? "000001d1" : "0000024b") + "</SMTP_Port>",
      "    <SMTP_Secure_Connection type=\"DWORD\">" + flag + "</SMTP_Secure_Connection>",
      "    <SMTP_Timeout type=\"DWORD\">0000003c</SMTP_Timeout>",
      "    <SMTP_Display_Name type=\"SZ\">" + name + "</SMTP_Display_Name>",
      "    <SMTP_Email_Address type=\"SZ\">" + address + "</SMTP_Email_Address>",
  };
}

// The 19 lines of a new account file.
std::vector<std::string> NewFileLines(bool ssl, const std::string& address = kAddress,
                                      const std::string& name = "Jane Doe") {
  std::vector<std::string> lines{"[BOM]<?xml version=\"1.0\" encoding=\"utf-16\" ?>", "<MessageAccount>"};
  for (const std::string& line : ElementLines(ssl, address, name)) lines.push_back(line);
  lines.push_back("</MessageAccount>");
  return lines;
}

std::vector<std::string> SettingsBlock(bool ssl, const std::string& address = kAddress,
                                       const std::string& name = "Jane Doe") {
  const std::string host_in = ssl ? "secure.tessaline.net" : "pop.tessaline.net";
  const std::string host_out = ssl ? "secure.tessaline.net" : "smtp.tessaline.net";
  const std::string flag = ssl ? "00000001" : "00000000";
  return {"The following settings were written/overwritten in Windows Mail's configuration:",
          "",
          "Account Name: " + address,
          "Connection Type: 00000003",
          "POP3 Server: " + host_in,
          "POP3 User Name: " + address,
          "POP3 Use Sicily: 00000000",
          std::string("POP3 Port: ") + (ssl ? "000003e3" : "0000006e"),
          "POP3 Secure Connection: " + flag,
          "POP3 Timeout: 0000003c",
          "Leave Mail On Server: 00000000",
          "SMTP Server: " + host_out,
          "SMTP Use Sicily: 00000002",
          std::string("SMTP Port: ") + (ssl ? "000001d1" : "0000024b"),
          "SMTP Secure Connection: " + flag,
          "SMTP Timeout: 0000003c",
          "SMTP Display Name: " + name,
          "SMTP Email Address: " + address};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class WindowsMailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue,
                    "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail\\");
    machine.environment.Set("USERPROFILE", kProfile);
    machine.files.MakeFolders(kFolder);
  }

  ConfigStatus Run(const std::string& address = kAddress, const std::string& name = "Jane Doe") {
    AccountRequest request{address, name, make_default, overwrite, use_ssl, log.log()};
    WindowsMailConfigurator configurator(machine.platform, request);
    return configurator.Configure();
  }

  // The names of the files in the account folder, in listing order.
  std::vector<std::string> AccountFolder() { return machine.files.ListFolder(InFolder("*")); }
  std::string Bytes(const std::string& name) { return machine.files.ReadFile(InFolder(name)).value_or(""); }
  std::optional<std::string> DefaultAccount() {
    return machine.Text(RegRoot::CurrentUser, winmail::kDefaultAccountKey, winmail::kDefaultAccountValue);
  }

  FakePlatform machine;
  CapturedLog log;
  bool make_default = false;
  bool overwrite = false;
  bool use_ssl = true;
};

TEST_F(WindowsMailTest, CreatesTheAccountFileAndLogsEverySetting) {
  ASSERT_EQ(Run(), status::kSuccess);

  EXPECT_EQ(AccountFolder(), std::vector<std::string>{kFirstFile});
  EXPECT_EQ(Bytes(kFirstFile), Utf16LeLines(NewFileLines(true)));
  EXPECT_EQ(DefaultAccount(), std::nullopt);
  EXPECT_EQ(log.Lines(),
            Concat({"Searching for existant jane@tessaline.net account ... " + InFolder("account*"),
                    "not found. Creating new account.", "", "Starting Windows Mail configuration...", ""},
                   SettingsBlock(true)));
}

TEST_F(WindowsMailTest, WithoutSslTheFileAndLogHoldThePlainServersAndPorts) {
  use_ssl = false;
  make_default = true;
  ASSERT_EQ(Run(), status::kSuccess);

  EXPECT_EQ(FileLines(Bytes(kFirstFile)), NewFileLines(false));
  const std::vector<std::string> lines = log.Lines();
  const std::vector<std::string> settings(lines.end() - 18, lines.end());
  EXPECT_EQ(settings, SettingsBlock(false));
  EXPECT_EQ(DefaultAccount(), kFirstFile);
}

TEST_F(WindowsMailTest, FindsOnlyTheExactElementAsThisProgramWritesIt) {
  // Another letter case, and the address in other attribute spacing: neither
  // is this account, so a new file is created beside them.
  machine.files.Put(InFolder("account{a}.oeaccount"),
                    Utf16LeLines(NewFileLines(true, "Jane@Tessaline.net")));
  machine.files.Put(InFolder("account{b}.oeaccount"),
                    Utf16LeLines({"<MessageAccount>",
                               "\t<SMTP_Email_Address type = \"SZ\">jane@tessaline.net</SMTP_Email_Address>",
                               "\t<SMTP_Email_Address type='SZ'>jane@tessaline.net</SMTP_Email_Address>",
                               "</MessageAccount>"}));
  // A folder whose name matches is tried, and holds nothing.
  machine.files.MakeFolders(InFolder("account{c}"));
  ASSERT_EQ(Run(), status::kSuccess);
  EXPECT_EQ(AccountFolder(), (std::vector<std::string>{"account{00000000-0000-4000-8000-000000000001}.oeaccount",
                                                       "account{a}.oeaccount", "account{b}.oeaccount",
                                                       "account{c}"}));
  EXPECT_EQ(log.Lines()[1], "not found. Creating new account.");

  // Tab-indented, as Windows Mail itself writes it, the element is found.
  machine.files.Put(InFolder("account{b}.oeaccount"),
                    Utf16LeLines({"\t<SMTP_Email_Address type=\"SZ\">jane@tessaline.net</SMTP_Email_Address>"}));
  WindowsMailConfigurator configurator(machine.platform, {kAddress, "", false, false, true, log.log()});
  EXPECT_TRUE(configurator.FileHoldsAddress(InFolder("account{b}.oeaccount"), kAddress));
  EXPECT_FALSE(configurator.FileHoldsAddress(InFolder("account{b}.oeaccount"), "ane@tessaline.net"));
}

TEST_F(WindowsMailTest, AnExistingAccountWithoutOverwriteChangesNothing) {
  const std::string existing = Utf16LeLines(NewFileLines(false, kAddress, "Old Name"));
  machine.files.Put(InFolder("account{old}.oeaccount"), existing);
  machine.SetText(RegRoot::CurrentUser, winmail::kDefaultAccountKey, winmail::kDefaultAccountValue,
                  "account{other}.oeaccount");
  make_default = true;

  EXPECT_EQ(Run(), status::kAlreadyExists);
  EXPECT_EQ(AccountFolder(), std::vector<std::string>{"account{old}.oeaccount"});
  EXPECT_EQ(Bytes("account{old}.oeaccount"), existing);
  EXPECT_EQ(DefaultAccount(), "account{other}.oeaccount");
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{"Searching for existant jane@tessaline.net account ... " + InFolder("account*"),
                                      " found. No changes will be made."}));
}

TEST_F(WindowsMailTest, RewritingItsOwnFileGivesTheSameFileWithTheNewValues) {
  ASSERT_EQ(Run(), status::kSuccess);
  use_ssl = false;
  overwrite = true;
  make_default = true;
  CapturedLog second;
  AccountRequest request{kAddress, "Jane Q. Doe", make_default, overwrite, use_ssl, second.log()};
  ASSERT_EQ(WindowsMailConfigurator(machine.platform, request).Configure(), status::kSuccess);

  // Same name, same lines in the same order, mark and line ends included; the
  // second run's UUID is not used, and no temporary file is left.
  EXPECT_EQ(AccountFolder(), std::vector<std::string>{kFirstFile});
  EXPECT_EQ(Bytes(kFirstFile), Utf16LeLines(NewFileLines(false, kAddress, "Jane Q. Doe")));
  EXPECT_EQ(DefaultAccount(), kFirstFile);
  EXPECT_EQ(second.Lines(),
            Concat({"Searching for existant jane@tessaline.net account ... " + InFolder("account*"),
                    " found. Reseting settings to defaults.", "", "Starting Windows Mail configuration...", "",
                    " found existant at: " + InFolder(kFirstFile)},
                   SettingsBlock(false, kAddress, "Jane Q. Doe")));
}

TEST_F(WindowsMailTest, RewriteKeepsUnknownElementsAndLayoutAndAddsMissingElementsInTableOrder) {
  overwrite = true;
  make_default = true;
  machine.files.Put(InFolder("Account-Backup.oeaccount"),
                    Utf16LeLines({"[BOM]<?xml version=\"1.0\" encoding=\"utf-16\" ?>",
                               "<MessageAccount>",
                               "\t<IMAP_Server type=\"SZ\">imap.example.org</IMAP_Server>",
                               "  <SMTP_Email_Address type=\"SZ\">jane@tessaline.net</SMTP_Email_Address>",
                               "<POP3_Port>00000099</POP3_Port>",
                               "",
                               "<SMTP_Server type=\"SZ\">old.example.org</SMTP_Server>",
                               "<SMTP_Server type=\"SZ\">older.example.org</SMTP_Server>",
                               "    </MessageAccount>"}));
  ASSERT_EQ(Run(), status::kSuccess);

  // Each known element is set where it stands, in the file's own layout.
  std::vector<std::string> element = ElementLines(true, kAddress, "Jane Doe");
  for (std::string& line : element) line.erase(0, 4);
  EXPECT_EQ(FileLines(Bytes("Account-Backup.oeaccount")),
            (std::vector<std::string>{"[BOM]<?xml version=\"1.0\" encoding=\"utf-16\" ?>",
                                      "<MessageAccount>",
                                      "\t<IMAP_Server type=\"SZ\">imap.example.org</IMAP_Server>",
                                      "  " + element[15],
                                      element[5],
                                      "",
                                      element[9],
                                      element[9],
                                      "    " + element[0], "    " + element[1], "    " + element[2],
                                      "    " + element[3], "    " + element[4], "    " + element[6],
                                      "    " + element[7], "    " + element[8], "    " + element[10],
                                      "    " + element[11], "    " + element[12], "    " + element[13],
                                      "    " + element[14],
                                      "    </MessageAccount>"}));
  // A name outside the naming rule is still the name Windows Mail knows.
  EXPECT_EQ(DefaultAccount(), "Account-Backup.oeaccount");
  EXPECT_EQ(AccountFolder(), std::vector<std::string>{"Account-Backup.oeaccount"});
}

TEST_F(WindowsMailTest, TheFirstMatchingEntryInListingOrderIsRewrittenEvenALeftOverTemporaryFile) {
  overwrite = true;
  make_default = true;
  const std::string other = Utf16LeLines(NewFileLines(true, "someone@tessaline.net"));
  machine.files.Put(InFolder("account{b}.oeaccount"), other);
  machine.files.Put(InFolder("account{b}.oeaccount.tmp"), Utf16LeLines(NewFileLines(false)));
  machine.files.Put(InFolder("ACCOUNT{c}.oeaccount.tmp"), Utf16LeLines(NewFileLines(false)));

  ASSERT_EQ(Run(), status::kSuccess);
  EXPECT_EQ(Bytes("account{b}.oeaccount"), other);
  EXPECT_EQ(Bytes("account{b}.oeaccount.tmp"), Utf16LeLines(NewFileLines(true)));
  EXPECT_EQ(Bytes("ACCOUNT{c}.oeaccount.tmp"), Utf16LeLines(NewFileLines(false)));
  EXPECT_EQ(DefaultAccount(), "account{b}.oeaccount.tmp");
  EXPECT_EQ(AccountFolder().size(), 3u);
}

TEST_F(WindowsMailTest, TheDefaultNameIsTheFileNameEvenWhenTheFolderLooksLikeAnAccount) {
  machine.environment.Set("USERPROFILE", "C:\\Users\\account{x}");
  const std::string folder = "C:\\Users\\account{x}\\AppData\\Local\\Microsoft\\Windows Mail\\Local Folders";
  machine.files.Put(folder + "\\account{found}.oeaccount", Utf16LeLines(NewFileLines(true)));
  overwrite = true;
  make_default = true;
  ASSERT_EQ(Run(), status::kSuccess);
  EXPECT_EQ(DefaultAccount(), "account{found}.oeaccount");
}

TEST_F(WindowsMailTest, MarkupInNamesIsWrittenEscapedAndFoundAgain) {
  const std::string address = "tom&jerry@tessaline.net";
  ASSERT_EQ(Run(address, "Tom & Jerry <TJ>"), status::kSuccess);
  EXPECT_EQ(Bytes(kFirstFile),
            Utf16LeLines(NewFileLines(true, "tom&amp;jerry@tessaline.net", "Tom &amp; Jerry &lt;TJ&gt;")));
  // The log shows the names as entered.
  EXPECT_EQ(log.Lines().back(), "SMTP Email Address: tom&jerry@tessaline.net");
  EXPECT_EQ(log.Lines()[log.Lines().size() - 2], "SMTP Display Name: Tom & Jerry <TJ>");

  EXPECT_EQ(Run(address), status::kAlreadyExists);
  // A file that holds the address unescaped is this account too.
  machine.files.Put(InFolder(kFirstFile), Utf16LeLines(NewFileLines(true, address)));
  EXPECT_EQ(Run(address), status::kAlreadyExists);
  EXPECT_EQ(AccountFolder(), std::vector<std::string>{kFirstFile});
}

TEST_F(WindowsMailTest, WithoutAStoreRootNothingIsWritten) {
  make_default = true;
  const std::vector<std::string> expected_log{
      "Windows Mail store root not found (\"Store Root\" of "
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail). No changes will be made."};
  // Value missing.
  {
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(machine.registry.Open(RegRoot::CurrentUser, winmail::kStoreKey, RegAccess::All, key), 0);
    key->DeleteValue(winmail::kStoreRootValue);
  }
  EXPECT_EQ(Run(), status::kCannotConfigure);
  EXPECT_EQ(log.Lines(), expected_log);
  // Empty, or longer than its 300-byte buffer.
  machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue, "");
  EXPECT_EQ(Run(), status::kCannotConfigure);
  machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue,
                  "C:\\" + std::string(297, 'x') + "\\");
  EXPECT_EQ(Run(), status::kCannotConfigure);
  // Key missing: the keys above are missing too.
  FakePlatform bare;
  CapturedLog bare_log;
  AccountRequest request{kAddress, "Jane Doe", true, true, true, bare_log.log()};
  EXPECT_EQ(WindowsMailConfigurator(bare.platform, request).Configure(), status::kCannotConfigure);
  EXPECT_EQ(bare_log.Lines(), expected_log);
  EXPECT_TRUE(bare.files.AllFiles().empty());

  EXPECT_TRUE(AccountFolder().empty());
  EXPECT_EQ(DefaultAccount(), std::nullopt);
  EXPECT_TRUE(machine.Subkeys(RegRoot::CurrentUser, "Software\\Microsoft").size() == 1);
}

TEST_F(WindowsMailTest, TheStoreRootIsExpandedOnlyWhereItNeedsTheProfile) {
  machine.environment.Unset("USERPROFILE");
  EXPECT_EQ(Run(), status::kCannotConfigure);
  EXPECT_EQ(log.Lines(),
            std::vector<std::string>{"USERPROFILE is not set, so the Windows Mail folder "
                                     "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail\\Local Folders "
                                     "cannot be found. No changes will be made."});
  EXPECT_TRUE(AccountFolder().empty());

  // A root without the placeholder needs no profile; a missing closing
  // backslash is supplied.
  machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue,
                  "D:\\Mail\\Windows Mail");
  machine.files.MakeFolders("D:\\Mail\\Windows Mail\\Local Folders");
  EXPECT_EQ(Run(), status::kSuccess);
  EXPECT_TRUE(machine.files.FileExists("D:\\Mail\\Windows Mail\\Local Folders\\" + std::string(kSecondFile)));
}

TEST_F(WindowsMailTest, ASearchPatternLongerThanAListingTakesStopsTheRun) {
  // 250 characters of folder make a 259-character pattern, the longest allowed.
  const std::string root_250 = "C:\\" + std::string(250 - 3 - 1 - 13, 'm') + "\\";
  ASSERT_EQ((root_250 + "Local Folders").size(), 250u);
  machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue, root_250);
  machine.files.MakeFolders(root_250 + "Local Folders");
  EXPECT_EQ(Run(), status::kSuccess);

  const std::string root_251 = "C:\\" + std::string(251 - 3 - 1 - 13, 'm') + "\\";
  machine.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue, root_251);
  machine.files.MakeFolders(root_251 + "Local Folders");
  CapturedLog second;
  AccountRequest request{kAddress, "Jane Doe", true, true, true, second.log()};
  EXPECT_EQ(WindowsMailConfigurator(machine.platform, request).Configure(), status::kCannotConfigure);
  EXPECT_EQ(second.Lines(), std::vector<std::string>{"The Windows Mail folder path is too long: " + root_251 +
                                                     "Local Folders. No changes will be made."});
  EXPECT_TRUE(machine.files.ListFolder(root_251 + "Local Folders\\*").empty());
}

// The account file is written before the registry names it the default; when
// the registry refuses, the file change is undone: a new file removed, a
// rewritten one put back.
TEST_F(WindowsMailTest, AFailedDefaultAccountValueUndoesTheAccountFile) {
  make_default = true;
  overwrite = true;
  const std::string existing = Utf16LeLines(NewFileLines(false));
  struct Case {
    bool existing_file;
    std::vector<std::string> folder_after;
  };
  for (const Case& c : {Case{false, {}}, Case{true, {"account{old}.oeaccount"}}}) {
    if (c.existing_file) machine.files.Put(InFolder("account{old}.oeaccount"), existing);
    for (const bool fail_create : {false, true}) {
      testing::FailingRegistry failing(machine.registry);
      if (fail_create) {
        failing.failing_create = winmail::kDefaultAccountKey;
      } else {
        failing.failing_values = {winmail::kDefaultAccountValue};
      }
      Platform platform{failing, machine.files, machine.environment, machine.processes,
                        machine.clock, machine.uuids, Windows1252(), machine.user};
      AccountRequest request{kAddress, "Jane Doe", make_default, overwrite, use_ssl, log.log()};
      EXPECT_EQ(WindowsMailConfigurator(platform, request).Configure(), status::kWriteFailed);
      EXPECT_EQ(AccountFolder(), c.folder_after);
      if (c.existing_file) {
        EXPECT_EQ(Bytes("account{old}.oeaccount"), existing);
      }
      EXPECT_EQ(DefaultAccount(), std::nullopt);
      EXPECT_EQ(log.Lines().back(), std::string("Could not write ") + winmail::kDefaultAccountValue +
                                        " (error 5). No changes were made.");
    }
  }
}

TEST_F(WindowsMailTest, AFileThatCannotBeWrittenCompletelyLeavesEverythingAsItWas) {
  make_default = true;
  // A full disk while creating: no half account file is left.
  machine.files.FailWritesEndingWith(".oeaccount");
  EXPECT_EQ(Run(), status::kWriteFailed);
  EXPECT_TRUE(AccountFolder().empty());
  EXPECT_EQ(log.Lines().back(), "Could not write " + InFolder(kFirstFile) + ". No changes were made.");
  EXPECT_EQ(DefaultAccount(), std::nullopt);

  // A rewrite whose replacement fails keeps the old file.
  const std::string existing = Utf16LeLines(NewFileLines(false));
  machine.files.Put(InFolder("account{old}.oeaccount"), existing);
  machine.files.FailWritesEndingWith("account{old}.oeaccount");
  overwrite = true;
  EXPECT_EQ(Run(), status::kWriteFailed);
  EXPECT_EQ(Bytes("account{old}.oeaccount"), existing);
  EXPECT_EQ(AccountFolder(), std::vector<std::string>{"account{old}.oeaccount"});
  EXPECT_EQ(DefaultAccount(), std::nullopt);

  // No account folder yet (Windows Mail never started): nothing to write into.
  FakePlatform fresh;
  fresh.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue, "C:\\Mail\\");
  CapturedLog fresh_log;
  AccountRequest request{kAddress, "Jane Doe", true, false, true, fresh_log.log()};
  EXPECT_EQ(WindowsMailConfigurator(fresh.platform, request).Configure(), status::kWriteFailed);
  EXPECT_TRUE(fresh.files.AllFiles().empty());
}

}  // namespace
}  // namespace quillbank

namespace quillbank {
namespace {

// UTF-16 little-endian bytes of a text of code units below 0x100, as it is.
std::string Utf16Text(const std::string& text) {
  std::string bytes;
  for (const char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

struct LayoutCase {
  const char* name;
  std::string file;
  std::vector<std::string> kept;  // must survive the reset byte for byte
};

TEST_F(WindowsMailTest, AResetKeepsAnyLineLayoutWellFormed) {
  const std::string address = "<SMTP_Email_Address type=\"SZ\">jane@tessaline.net</SMTP_Email_Address>";
  const std::string head = "<?xml version=\"1.0\" encoding=\"utf-16\" ?>";
  const std::vector<LayoutCase> cases{
      {"all on one line",
       head + "<MessageAccount><IMAP_Server type=\"SZ\">imap.example.org</IMAP_Server>" + address +
           "<SMTP_Display_Name type=\"SZ\">Old</SMTP_Display_Name></MessageAccount>",
       {head + "<MessageAccount><IMAP_Server type=\"SZ\">imap.example.org</IMAP_Server>"}},
      {"start tag and text split over lines",
       head + "\r\n<MessageAccount>\r\n\t<POP3_Server\r\n\t\ttype=\"SZ\">pop.old.example</POP3_Server>\r\n\t" +
           address + "\r\n\t<SMTP_Display_Name type=\"SZ\">Old\r\nName</SMTP_Display_Name>\r\n</MessageAccount>\r\n",
       {head + "\r\n<MessageAccount>\r\n\t", "\r\n</MessageAccount>\r\n"}},
      {"comments, CDATA and an unknown nested element",
       "<MessageAccount><!-- <SMTP_Server type=\"SZ\">x</SMTP_Server> -->\n" + address +
           "\n<Extra><SMTP_Server type=\"SZ\">nested</SMTP_Server></Extra><![CDATA[<POP3_Port>]]>\n"
           "</MessageAccount>",
       {"<!-- <SMTP_Server type=\"SZ\">x</SMTP_Server> -->",
        "<Extra><SMTP_Server type=\"SZ\">nested</SMTP_Server></Extra><![CDATA[<POP3_Port>]]>\n"}},
      {"self-closed element and single-quoted attribute with a >",
       "<MessageAccount>\n<POP3_Timeout/>\n<IMAP_Note type='a>b'>kept</IMAP_Note>" + address +
           "</MessageAccount>",
       {"<IMAP_Note type='a>b'>kept</IMAP_Note>"}},
  };
  overwrite = true;
  const std::vector<std::string> written = ElementLines(true, kAddress, "Jane Doe");
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    machine.files.Put(InFolder("account{x}.oeaccount"), Utf16Text(c.file));
    ASSERT_EQ(Run(), status::kSuccess);
    ASSERT_EQ(AccountFolder(), std::vector<std::string>{"account{x}.oeaccount"});
    std::string text;
    const std::string bytes = Bytes("account{x}.oeaccount");
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text.push_back(bytes[i]);
    for (const std::string& line : written) EXPECT_EQ(Occurrences(text, line.substr(4)), 1u) << line;
    for (const std::string& part : c.kept) EXPECT_EQ(Occurrences(text, part), 1u) << part;
    EXPECT_EQ(Occurrences(text, "<MessageAccount>"), 1u);
    EXPECT_EQ(Occurrences(text, "</MessageAccount>"), 1u);
    EXPECT_EQ(Occurrences(text, "Old"), 0u);
    EXPECT_EQ(text.find("</MessageAccount>") + 17, text.find_last_not_of("\r\n") + 1) << text;
  }
}

TEST_F(WindowsMailTest, EveryCutOfAnAccountFileIsReadWithoutHarm) {
  const std::string file =
      "<?xml version=\"1.0\"?><MessageAccount><!-- c --><![CDATA[x]]><A b='>'/>"
      "<SMTP_Email_Address type=\"SZ\">jane@tessaline.net</SMTP_Email_Address><POP3_Port\r\n"
      "type=\"DWORD\">1</POP3_Port></MessageAccount>";
  overwrite = true;
  for (std::size_t cut = 0; cut <= file.size(); ++cut) {
    // An odd byte count too: half a code unit at the end.
    for (const std::size_t extra : {0, 1}) {
      machine.files.Put(InFolder("account{x}.oeaccount"), Utf16Text(file.substr(0, cut + extra)).substr(0, 2 * cut + extra));
      const ConfigStatus status = Run();
      EXPECT_EQ(status, status::kSuccess) << cut;
    }
  }
}

TEST_F(WindowsMailTest, NarrowTextIsWidenedThroughTheCodePage) {
  // Windows-1252: 0x80 is the euro sign, 0xF6 an o with diaeresis.
  ASSERT_EQ(Run(kAddress, "J\xF6rg \x80"), status::kSuccess);
  const std::string name = Utf16Text("<SMTP_Display_Name type=\"SZ\">J") + std::string("\xF6\0r\0g\0 \0\xAC\x20", 10) +
                           Utf16Text("</SMTP_Display_Name>");
  EXPECT_NE(Bytes(kFirstFile).find(name), std::string::npos);
  // The file is found again by the same address.
  EXPECT_EQ(Run(kAddress, "J\xF6rg \x80"), status::kAlreadyExists);
}

}  // namespace
}  // namespace quillbank

namespace quillbank {
namespace {

// What the automatic mode's readers give for one store, and the lines they log.
struct ReaderCase {
  const char* name;
  std::optional<std::string> default_account;  // "Default Mail Account"; none: value missing
  std::optional<std::string> search;           // -s text; none: the default account
  std::optional<std::string> key, address, display_name;
  std::vector<std::string> log;
  bool store_root = true;  // false: "Store Root" missing
};

TEST_F(WindowsMailTest, ReadersFindTheDefaultOrSearchedAccountAndLogWhatTheyRead) {
  const std::string pattern = "SMTP_Email_Address containing '%s' in " + InFolder("account*");
  auto search_line = [&](const std::string& text, const std::string& result) {
    std::string line = "FindAcctByAddr Result (" + pattern + "): " + result;
    line.replace(line.find("%s"), 2, text);
    return line;
  };
  const std::vector<ReaderCase> cases{
      {"the default account", "account{b}.oeaccount", std::nullopt, "account{b}.oeaccount",
       "jane.work@tessaline.net", "Jane at Work",
       {"GetDefAcct Result (Default Mail Account): account{b}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of account{b}.oeaccount): jane.work@tessaline.net",
        "GetAcctName Result (SMTP_Display_Name of account{b}.oeaccount): Jane at Work"}},
      // Both match; "Z" sorts before "a" in byte order, whatever the listing says.
      {"the first match by file name", std::nullopt, "@tessaline", "account{Z}.oeaccount",
       "tom&jerry@tessaline.net", "J\xF6rg",
       {search_line("@tessaline", "account{Z}.oeaccount"),
        "GetAcctAddr Result (SMTP_Email_Address of account{Z}.oeaccount): tom&jerry@tessaline.net",
        "GetAcctName Result (SMTP_Display_Name of account{Z}.oeaccount): J\xF6rg"}},
      {"case counts in a search", "account{b}.oeaccount", "WORK", std::nullopt, std::nullopt,
       std::nullopt,
       {search_line("WORK", "*ERROR*"), "GetAcctAddr Result (SMTP_Email_Address of *ERROR*): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of *ERROR*): *ERROR*"}},
      {"a default naming a missing file", "account{gone}.oeaccount", std::nullopt,
       "account{gone}.oeaccount", std::nullopt, std::nullopt,
       {"GetDefAcct Result (Default Mail Account): account{gone}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of account{gone}.oeaccount): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of account{gone}.oeaccount): *ERROR*"}},
      {"a default naming a file outside the folder", "..\\account{b}.oeaccount", std::nullopt,
       "..\\account{b}.oeaccount", std::nullopt, std::nullopt,
       {"GetDefAcct Result (Default Mail Account): ..\\\\account{b}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of ..\\\\account{b}.oeaccount): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of ..\\\\account{b}.oeaccount): *ERROR*"}},
      // An account without an address is skipped by a search and is no default.
      {"an account without an address", "account{c}.oeaccount", std::nullopt,
       "account{c}.oeaccount", std::nullopt, "",
       {"GetDefAcct Result (Default Mail Account): account{c}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of account{c}.oeaccount): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of account{c}.oeaccount): "}},
      {"no default account", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
       {"GetDefAcct Result (Default Mail Account): *ERROR*",
        "GetAcctAddr Result (SMTP_Email_Address of *ERROR*): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of *ERROR*): *ERROR*"}},
      {"a store without its root", "account{a}.oeaccount", std::nullopt, "account{a}.oeaccount",
       std::nullopt, std::nullopt,
       {"GetDefAcct Result (Default Mail Account): account{a}.oeaccount",
        "GetAcctAddr Result (SMTP_Email_Address of account{a}.oeaccount): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of account{a}.oeaccount): *ERROR*"},
       false},
      {"a search in a store without its root", std::nullopt, "jane", std::nullopt, std::nullopt,
       std::nullopt,
       {"FindAcctByAddr Result (SMTP_Email_Address containing 'jane' in Windows Mail's account "
        "folder): *ERROR*",
        "GetAcctAddr Result (SMTP_Email_Address of *ERROR*): *ERROR*",
        "GetAcctName Result (SMTP_Display_Name of *ERROR*): *ERROR*"},
       false},
  };
  machine.files.Put(InFolder("account{a}.oeaccount"),
                    Utf16LeLines(NewFileLines(true, "jane@tessaline.net", "Jane Doe")));
  machine.files.Put(InFolder("account{b}.oeaccount"),
                    Utf16LeLines(NewFileLines(true, "jane.work@tessaline.net", "Jane at Work")));
  machine.files.Put(InFolder("account{Z}.oeaccount"),
                    Utf16LeLines(NewFileLines(true, "tom&amp;jerry@tessaline.net", "J&#xF6;rg")));
  machine.files.Put(InFolder("account{c}.oeaccount"),
                    Utf16LeLines({"<MessageAccount>", "<SMTP_Email_Address type=\"SZ\"></SMTP_Email_Address>",
                               "</MessageAccount>"}));
  const std::vector<std::string> files = machine.files.AllFiles();
  for (const ReaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<RegistryKey> store;
    ASSERT_EQ(machine.registry.Open(RegRoot::CurrentUser, winmail::kStoreKey, RegAccess::All, store), 0);
    if (!c.store_root) store->DeleteValue(winmail::kStoreRootValue);
    std::unique_ptr<RegistryKey> iam;
    if (machine.registry.Open(RegRoot::CurrentUser, winmail::kDefaultAccountKey, RegAccess::All, iam) == 0) {
      iam->DeleteValue(winmail::kDefaultAccountValue);
    }
    if (c.default_account) {
      machine.SetText(RegRoot::CurrentUser, winmail::kDefaultAccountKey, winmail::kDefaultAccountValue,
                      *c.default_account);
    }
    CapturedLog reader_log;
    WindowsMailConfigurator configurator(machine.platform, {"", "", false, false, true, reader_log.log()});
    const std::optional<std::string> key =
        c.search ? configurator.FindAcctByAddr(*c.search) : configurator.GetDefAcct();
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(configurator.GetAcctAddr(key), c.address);
    EXPECT_EQ(configurator.GetAcctName(key), c.display_name);
    EXPECT_EQ(reader_log.Lines(), c.log);
    EXPECT_EQ(machine.files.AllFiles(), files);
  }
}

// The automatic copy is named prefix + address and found again by that name:
// the account it was copied from, with the same address, is never touched.
TEST_F(WindowsMailTest, TheAutomaticCopyIsNamedByThePrefixAndFoundByItsName) {
  const std::string original = Utf16LeLines(NewFileLines(false, kAddress, "Jane Doe"));
  machine.files.Put(InFolder("account{old}.oeaccount"), original);
  auto run_automatic = [&](const std::string& prefix, bool overwrite_copy, CapturedLog& run_log) {
    WindowsMailConfigurator configurator(
        machine.platform,
        testing::AutomaticRequest({kAddress, "Jane Doe", false, overwrite_copy, true, run_log.log()}, prefix));
    return configurator.Configure();
  };
  std::vector<std::string> copy = NewFileLines(true);
  copy[2] = "    <Account_Name type=\"SZ\">T&amp;C jane@tessaline.net</Account_Name>";

  CapturedLog first;
  ASSERT_EQ(run_automatic("T&C ", false, first), status::kSuccess);
  EXPECT_EQ(Bytes(kFirstFile), Utf16LeLines(copy));
  EXPECT_EQ(first.Lines()[0], "Searching for existant T&C jane@tessaline.net account ... " + InFolder("account*"));
  EXPECT_EQ(first.Lines()[7], "Account Name: T&C jane@tessaline.net");
  // The escaped name is found again.
  CapturedLog second;
  EXPECT_EQ(run_automatic("T&C ", false, second), status::kAlreadyExists);
  EXPECT_EQ(Bytes("account{old}.oeaccount"), original);

  // A control character in the prefix is refused before anything is read.
  CapturedLog refused;
  EXPECT_EQ(run_automatic("T\nC ", true, refused), status::kUnsafeInput);
  EXPECT_EQ(refused.Lines(), std::vector<std::string>{"Refusing account name 'T\\x0AC jane@tessaline.net': "
                                                      "the prefix holds a control character. Nothing was written."});
  EXPECT_EQ(AccountFolder().size(), 2u);
}

}  // namespace
}  // namespace quillbank
