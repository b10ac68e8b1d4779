// Evolution in jane's home on the in-memory machine: which sources folder is
// used, the three sources of a new account, and how a run finds, skips and
// resets one, or puts everything back when a write fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clients/evolution/evolution_client.h"
#include "clients/evolution/evolution_configurator.h"
#include "env/client_detection.h"
#include "tests/support/fake_platform.h"
#include "tests/support/mail_clients.h"
#include "tests/support/test_data.h"

namespace quillbank {
namespace {

using evolution::KeyFile;
using testing::FakeUserSpace;
using testing::ReadTestData;

const std::string kSources = "/home/jane/.config/evolution/sources";
const std::string kFlatpakSources = "/home/jane/.var/app/org.gnome.Evolution/config/evolution/sources";
const std::string kUid1 = "00000000-0000-4000-8000-000000000001";
const std::string kUid2 = "00000000-0000-4000-8000-000000000002";
const std::string kUid3 = "00000000-0000-4000-8000-000000000003";

struct Home {
  Home() {
    fake.user.BecomeHome();
    fake.files.MakeFolders(FakeUserSpace::kHome);
  }
  ConfigStatus Run(const std::string& address, bool overwrite, bool automatic = false,
                   const std::string& prefix = "", bool make_default = false) {
    AccountRequest request{address,   "Jane Doe", make_default, overwrite, true,
                           log.log(), automatic,  prefix};
    return EvolutionConfigurator(platform, request).Configure();
  }
  std::unique_ptr<EvolutionConfigurator> Reader() {
    return std::make_unique<EvolutionConfigurator>(
        platform, AccountRequest{"", "", false, false, true, reader_log.log()});
  }
  std::string Source(const std::string& uid, const std::string& folder = kSources) {
    return fake.files.ReadFile(folder + "/" + uid + ".source").value_or("(missing)");
  }
  std::vector<std::string> Files(const std::string& folder = kSources) {
    return fake.files.ListFolder(folder + "/*");
  }
  // An account made by Evolution: its own uids, keys the run never writes.
  void EvolutionAccount(const std::string& address, const std::string& name) {
    fake.files.Put(kSources + "/acc.source",
                   "[Data Source]\nDisplayName=" + name + "\nEnabled=true\nParent=\n\n"
                   "[Mail Account]\nBackendName=imapx\nIdentityUid=ide\nArchiveFolder=x\n\n"
                   "[Authentication]\nHost=imap.example.org\nPort=993\nUser=jane\n"
                   "RememberPassword=true\n\n[Offline]\nStaySynchronized=true\n");
    fake.files.Put(kSources + "/ide.source",
                   "[Data Source]\nDisplayName=" + name + "\nParent=acc\n\n[Mail Identity]\n"
                   "Address=" + address + "\nName=Jane Q\n\n[Mail Submission]\nTransportUid=tra\n"
                   "SentFolder=folder://acc/Sent\n");
    fake.files.Put(kSources + "/tra.source",
                   "[Data Source]\nParent=acc\n\n[Mail Transport]\nBackendName=smtp\n");
  }

  testing::FakePlatform fake;
  Platform platform{fake.registry, fake.files, fake.environment, fake.processes, fake.clock,
                    fake.uuids,    Utf8(),     fake.user,        nullptr,        &fake.run_lock,
                    &fake.settings};
  testing::CapturedLog log;
  testing::CapturedLog reader_log;
};

TEST(EvolutionConfigurator, ANewAccountIsThreeSourcesWithTheProvidersServers) {
  Home home;
  ASSERT_EQ(home.Run("jane@example.com", false), status::kSuccess);
  EXPECT_EQ(home.Source(kUid1), ReadTestData("evolution/account.source"));
  EXPECT_EQ(home.Source(kUid2), ReadTestData("evolution/identity.source"));
  EXPECT_EQ(home.Source(kUid3), ReadTestData("evolution/transport.source"));
  EXPECT_EQ(home.log.Lines(), (std::vector<std::string>{
      "Starting Evolution configuration...", "",
      "Evolution sources folder: " + kSources,
      "Searching for existant jane@example.com account ... not found. Creating new account.", "",
      "The following sources were written/overwritten in the Evolution sources folder:", "",
      "Account: " + kUid1 + ".source", "Identity: " + kUid2 + ".source",
      "Transport: " + kUid3 + ".source", ""}));
  // Without SSL: the plain hosts and ports, no encryption.
  Home plain;
  AccountRequest request{"jane@example.com", "Jane Doe", false, false, false, plain.log.log()};
  ASSERT_EQ(EvolutionConfigurator(plain.platform, request).Configure(), status::kSuccess);
  const KeyFile account(plain.Source(kUid1));
  const KeyFile transport(plain.Source(kUid3));
  EXPECT_EQ(account.Get("Authentication", "Host"), "pop.tessaline.net");
  EXPECT_EQ(account.Get("Authentication", "Port"), "110");
  EXPECT_EQ(account.Get("Security", "Method"), "none");
  EXPECT_EQ(transport.Get("Authentication", "Host"), "smtp.tessaline.net");
  EXPECT_EQ(transport.Get("Authentication", "Port"), "587");
}

struct DecisionCase {
  const char* what;
  const char* address;  // of the run; the home's account is Jane@Example.com
  bool overwrite;
  bool automatic;
  ConfigStatus status;
  std::size_t files;  // in the sources folder afterwards
  const char* ending;  // of the search's line
};

TEST(EvolutionConfigurator, AnAccountWithTheAddressIsSkippedOrResetInPlace) {
  const DecisionCase cases[] = {
      {"same address, other case", "jane@example.com", false, false, status::kAlreadyExists, 3,
       " found. No changes will be made."},
      {"reset", "jane@example.com", true, false, status::kSuccess, 3,
       " found. Reseting settings to defaults."},
      {"another address", "john@example.com", false, false, status::kSuccess, 6,
       "not found. Creating new account."},
      {"automatic: the copy is found by its name", "jane@example.com", false, true,
       status::kAutoAccountExists, 3, " found. Quitting."},
      {"automatic: no copy yet", "john@example.com", false, true, status::kSuccess, 6,
       "not found. Creating new account."},
  };
  for (const DecisionCase& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    // In the automatic cases the account is the copy itself: named by the
    // prefix and the address.
    home.EvolutionAccount("Jane@Example.com", c.automatic ? "Tess-jane@example.com" : "Work");
    const std::string before = home.Source("acc");
    EXPECT_EQ(home.Run(c.address, c.overwrite, c.automatic, "Tess-"), c.status);
    EXPECT_EQ(home.Files().size(), c.files);
    EXPECT_NE(home.log.text().find(c.ending), std::string::npos) << home.log.text();
    if (c.status != status::kSuccess || c.files == 6) {
      EXPECT_EQ(home.Source("acc"), before);
    }
  }
}

TEST(EvolutionConfigurator, AResetKeepsTheUidsAndEveryKeyItDoesNotWrite) {
  Home home;
  home.EvolutionAccount("jane@example.com", "Work");
  ASSERT_EQ(home.Run("jane@example.com", true), status::kSuccess);
  const KeyFile account(home.Source("acc"));
  const KeyFile identity(home.Source("ide"));
  const KeyFile transport(home.Source("tra"));
  EXPECT_EQ(account.Get("Mail Account", "BackendName"), "pop");
  EXPECT_EQ(account.Get("Mail Account", "IdentityUid"), "ide");
  EXPECT_EQ(account.Get("Mail Account", "ArchiveFolder"), "x");
  EXPECT_EQ(account.Get("Authentication", "Host"), "secure.tessaline.net");
  EXPECT_EQ(account.Get("Authentication", "RememberPassword"), "true");
  EXPECT_EQ(account.Get("Offline", "StaySynchronized"), "true");
  EXPECT_EQ(account.Get("Data Source", "DisplayName"), "jane@example.com");
  EXPECT_EQ(identity.Get("Data Source", "Parent"), "acc");
  EXPECT_EQ(identity.Get("Mail Identity", "Name"), "Jane Doe");
  EXPECT_EQ(identity.Get("Mail Submission", "TransportUid"), "tra");
  EXPECT_EQ(identity.Get("Mail Submission", "SentFolder"), "folder://acc/Sent");
  EXPECT_EQ(transport.Get("Authentication", "Port"), "465");
  EXPECT_EQ(home.Files().size(), 3u);
}

TEST(EvolutionConfigurator, AFailedWritePutsBackWhatTheRunWrote) {
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "new account");
    Home home;
    if (reset) home.EvolutionAccount("jane@example.com", "Work");
    const std::vector<std::string> before = home.Files();
    const std::string account = home.Source("acc");
    home.fake.files.FailWritesEndingWith(reset ? "tra.source" : kUid3 + ".source");
    EXPECT_EQ(home.Run("jane@example.com", true), status::kWriteFailed);
    EXPECT_EQ(home.Files(), before);
    EXPECT_EQ(home.Source("acc"), account);
    EXPECT_EQ(home.fake.files.FolderExists(kSources), reset);
  }
}

struct FolderCase {
  const char* what;
  bool on_path;
  std::vector<std::string> entries;  // folders holding the desktop entry
  bool installed;
  std::string sources;
};

TEST(EvolutionConfigurator, TheFlatpakAloneKeepsItsOwnSources) {
  const std::string flatpak = "/var/lib/flatpak/exports/share/applications";
  const FolderCase cases[] = {
      {"nothing: the sources folder alone is not enough", false, {}, false, kSources},
      {"on PATH", true, {}, true, kSources},
      {"the package's desktop entry", false, {"/usr/share/applications"}, true, kSources},
      {"the Flatpak alone", false, {flatpak}, true, kFlatpakSources},
      {"the user's Flatpak", false, {"/home/jane/.local/share/flatpak/exports/share/applications"},
       true, kFlatpakSources},
      {"the Flatpak and the package", false, {flatpak, "/usr/share/applications"}, true, kSources},
      {"the Flatpak and a program on PATH", true, {flatpak}, true, kSources},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    home.fake.files.MakeFolders(kSources);
    if (c.on_path) home.fake.user.on_path.insert("evolution");
    for (const std::string& folder : c.entries) {
      home.fake.files.Put(folder + "/org.gnome.Evolution.desktop", "[Desktop Entry]\n");
    }
    EXPECT_EQ(IsClientInstalled(home.platform, EvolutionClient().site(SystemKind::UserHome)),
              c.installed);
    EXPECT_EQ(evolution::SourcesFolder(home.platform), c.sources);
    // The Flatpak's settings lie in its sandbox: -d refuses, writing nothing.
    if (c.sources == kFlatpakSources) {
      EXPECT_EQ(home.Run("jane@example.com", false, false, "", true), status::kWriteFailed);
      EXPECT_TRUE(home.Files(kFlatpakSources).empty());
    }
  }
}

TEST(EvolutionConfigurator, TheReadersTakeTheFirstAccountOrTheFirstWithTheText) {
  Home home;
  home.EvolutionAccount("jane@example.com", "Work");
  ASSERT_EQ(home.Run("john@example.com", false), status::kSuccess);
  const std::unique_ptr<EvolutionConfigurator> reader = home.Reader();
  const std::optional<std::string> first = reader->GetDefAcct();
  EXPECT_EQ(first, kUid1);  // "0000..." sorts before "acc"
  EXPECT_EQ(reader->GetAcctAddr(first), "john@example.com");
  const std::optional<std::string> jane = reader->FindAcctByAddr("jane@");
  EXPECT_EQ(jane, "acc");
  EXPECT_EQ(reader->GetAcctName(jane), "Jane Q");
  EXPECT_EQ(reader->FindAcctByAddr("nobody"), std::nullopt);
  EXPECT_EQ(reader->GetAcctAddr(std::nullopt), std::nullopt);
  EXPECT_EQ(home.reader_log.Lines(), (std::vector<std::string>{
      "GetDefAcct Result (first mail account of the sources): " + kUid1,
      "GetAcctAddr Result (Address of " + kUid2 + "): john@example.com",
      "FindAcctByAddr Result (Address containing jane@): acc",
      "GetAcctName Result (Name of ide): Jane Q",
      "FindAcctByAddr Result (Address containing nobody): *ERROR*",
      "GetAcctAddr Result (Address of no account): *ERROR*"}));
}

struct DefaultCase {
  const char* what;
  std::optional<std::string> printed;  // by gsettings; none: it cannot be run
  std::string account;
  const char* source;
};

// Evolution's own choice counts where it names a mail account of the folder.
TEST(EvolutionConfigurator, TheDefaultAccountIsTheOneEvolutionsSettingsName) {
  const DefaultCase cases[] = {
      {"named", std::string("'acc'\n"), "acc", "default-mail-account of org.gnome.Evolution.DefaultSources"},
      {"unreadable", std::nullopt, kUid1, "first mail account of the sources"},
      {"not set", std::string("''\n"), kUid1, "first mail account of the sources"},
      {"an account removed since", std::string("'gone'\n"), kUid1, "first mail account of the sources"},
      {"an identity, not an account", std::string("'ide'\n"), kUid1, "first mail account of the sources"},
      {"not a string", std::string("@ms nothing\n"), kUid1, "first mail account of the sources"},
  };
  for (const DefaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    home.EvolutionAccount("jane@example.com", "Work");
    ASSERT_EQ(home.Run("john@example.com", false), status::kSuccess);
    if (c.printed) {
      home.fake.settings.values["org.gnome.Evolution.DefaultSources default-mail-account"] =
          *c.printed;
    }
    EXPECT_EQ(home.Reader()->GetDefAcct(), c.account);
    EXPECT_EQ(home.reader_log.Lines().back(),
              std::string("GetDefAcct Result (") + c.source + "): " + c.account);
  }
  EXPECT_EQ(evolution::PrintedString("'it\\'s'"), "it's");
}

struct MakeDefaultCase {
  const char* what;
  bool bus;
  bool drops;               // the store takes the change and does not keep it
  const char* refused_key;  // whose change the store refuses; "" for none
  ConfigStatus status;
  const char* line;  // the log's line about the default
};

// -d names the new account and its identity in Evolution's settings, read
// back; when the store does not keep them, the run leaves nothing behind.
TEST(EvolutionConfigurator, MakingItTheDefaultSetsBothKeysOrLeavesNothing) {
  const std::string account_key = "org.gnome.Evolution.DefaultSources default-mail-account";
  const std::string identity_key = "org.gnome.Evolution.DefaultSources default-mail-identity";
  const MakeDefaultCase cases[] = {
      {"saved", true, false, "", status::kSuccess,
       "Default mail account and identity (org.gnome.Evolution.DefaultSources): "},
      {"no session bus", false, false, "", status::kWriteFailed, "no session bus was found"},
      {"dropped silently", true, true, "", status::kWriteFailed,
       "Could not set default-mail-account of org.gnome.Evolution.DefaultSources (it reads "
       "'system')"},
      {"the identity refused", true, false, "default-mail-identity", status::kWriteFailed,
       "Could not set default-mail-identity"},
  };
  for (const MakeDefaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    Home home;
    home.fake.settings.values = {{account_key, "'system'"}, {identity_key, "''"}};
    home.fake.settings.bus = c.bus;
    home.fake.settings.drops = c.drops;
    if (*c.refused_key) home.fake.settings.refused.insert(c.refused_key);
    EXPECT_EQ(home.Run("jane@example.com", false, false, "", true), c.status);
    EXPECT_NE(home.log.text().find(c.line), std::string::npos) << home.log.text();
    if (c.status == status::kSuccess) {
      EXPECT_EQ(home.fake.settings.values[account_key], "'" + kUid1 + "'");
      EXPECT_EQ(home.fake.settings.values[identity_key], "'" + kUid2 + "'");
    } else {
      EXPECT_EQ(home.fake.settings.values[account_key], "'system'");
      EXPECT_EQ(home.fake.settings.values[identity_key], "''");
      EXPECT_TRUE(home.Files().empty());
    }
  }
  EXPECT_EQ(evolution::QuotedString("it's a \\"), "'it\\'s a \\\\'");
}

TEST(EvolutionClientList, TheHomeNumbersEvolutionAndWindowsDoesNot) {
  EXPECT_EQ(HomeClients().Numbers(),
            "0 Outlook Express, 1 Outlook, 2 Windows Mail, 3 Eudora, 4 Thunderbird, 5 Evolution");
  EXPECT_EQ(HomeClients().NumberedCount(), 6);
  EXPECT_EQ(MachineClients().NumberedCount(), 5);
  EXPECT_EQ(HomeClients().ShortNamesOn(SystemKind::UserHome), "Thunderbird and Evolution");
  EXPECT_TRUE(MachineClients().IsIndex(static_cast<int>(MailClient::Evolution)));
  EXPECT_FALSE(MachineClients().ExistsHere(static_cast<int>(MailClient::Evolution)));
  EXPECT_EQ(Client(MailClient::Evolution).button.id, 0);
}

}  // namespace
}  // namespace quillbank
