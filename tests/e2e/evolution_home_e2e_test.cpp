// The program on the Linux user's own home (--home -c 5), judged by
// Evolution's real registry service: started on a session bus of its own
// over the home, it must load the three sources a run writes, with their
// parents, servers and identity, and load them again as a reset puts them
// back, and the automatic mode's copy beside the original. -d is judged by
// gsettings on a session bus with dconf.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clients/evolution/evolution_key_file.h"
#include "env/platform/home/home_system.h"
#include "tests/support/host_file.h"
#include "tests/support/machine_fixture.h"
#include "tests/support/preview_apply.h"
#include "tests/support/program_run.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using evolution::KeyFile;
using testing::ProgramRun;
using testing::ReadHostFile;

constexpr const char* kRegistry = "/usr/libexec/evolution-source-registry";

// The sources the registry service has loaded, by uid, as it reports them.
using Loaded = std::map<std::string, KeyFile>;

// A string of gdbus's output ('...' with backslash escapes) from `at`, the
// character after its opening quote.
std::string GVariantString(const std::string& text, std::size_t at) {
  std::string value;
  for (; at < text.size() && text[at] != '\''; ++at) {
    if (text[at] != '\\' || at + 1 == text.size()) {
      value += text[at];
      continue;
    }
    const char escaped = text[++at];
    value += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
  }
  return value;
}

// Starts the registry service over `home` on a session bus of its own and
// asks it for its sources until every uid of `wanted` is among them (or 30
// seconds have passed), then ends both.
Loaded LoadedBy(const fs::path& home, const std::vector<std::string>& wanted) {
  std::string script =
      std::string(kRegistry) +
      " & for i in $(seq 150); do"
      " out=$(gdbus call --session --dest org.gnome.evolution.dataserver.Sources5"
      " --object-path /org/gnome/evolution/dataserver/SourceManager"
      " --method org.freedesktop.DBus.ObjectManager.GetManagedObjects 2>/dev/null) && {";
  for (const std::string& uid : wanted) script += " echo \"$out\" | grep -q \"'" + uid + "'\" &&";
  script += " break; }; sleep 0.2; done; echo \"$out\"; kill %1; wait";
  const ProgramRun run = testing::RunProcess(
      {{"dbus-run-session", "--", "bash", "-c", script},
       {{"HOME", home.string()}},
       {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "DBUS_SESSION_BUS_ADDRESS"}});
  Loaded loaded;
  const std::string& out = run.out;
  for (std::size_t at = out.find("'UID': <'"); at != std::string::npos;
       at = out.find("'UID': <'", at + 1)) {
    const std::string uid = GVariantString(out, at + 9);
    const std::size_t data = out.find("'Data': <'", at);
    if (data == std::string::npos) break;
    loaded[uid] = KeyFile(GVariantString(out, data + 10));
  }
  return loaded;
}

// The uids of the sources of mail accounts in the folder: their accounts,
// identities and transports (the service adds sources of its own there).
std::vector<std::string> MailSources(const fs::path& folder);

// The uids of the sources in the folder holding `group`.
std::vector<std::string> SourcesWith(const fs::path& folder, const std::string& group) {
  std::vector<std::string> uids;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (KeyFile(ReadHostFile(entry.path())).HasGroup(group)) uids.push_back(entry.path().stem());
  }
  std::sort(uids.begin(), uids.end());
  return uids;
}

std::vector<std::string> MailSources(const fs::path& folder) {
  std::vector<std::string> uids;
  for (const char* group : {"Mail Account", "Mail Identity", "Mail Transport"}) {
    const std::vector<std::string> found = SourcesWith(folder, group);
    uids.insert(uids.end(), found.begin(), found.end());
  }
  std::sort(uids.begin(), uids.end());
  return uids;
}

class EvolutionHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kRegistry)) {
      GTEST_SKIP() << kRegistry << " is missing: install the Debian packages "
                                   "evolution-data-server, dbus and libglib2.0-bin.";
    }
    fs::create_directories(home);
    fs::create_directories(bin);
  }

  ProgramRun Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {QUILLBANK_PROGRAM, "--home"});
    const char* path = std::getenv("PATH");
    return testing::RunProcess(
        {args,
         {{"HOME", home.string()}, {"PATH", bin.string() + ":" + (path ? path : "/usr/bin:/bin")}},
         {"QUILLBANK_MACHINE", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}});
  }
  ProgramRun Configure(const std::vector<std::string>& more = {}) const {
    std::vector<std::string> args{"-n", "Jane Doe", "-a", "jane@example.com", "-c", "5"};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
  // An "evolution" on PATH: what makes the home's Evolution installed.
  void InstallEvolution() const {
    const fs::path program = bin / "evolution";
    testing::WriteHostFile(program, "#!/bin/sh\nexit 0\n");
    fs::permissions(program, fs::perms::owner_all);
  }

  fs::path Sources() const { return home / ".config/evolution/sources"; }
  fs::path LogFile() const { return home / ".local/state/quillbank/Quillbank.log"; }

  // The service's view of the account with `account_uid`, checked part by part.
  void ExpectLoadedAccount(const Loaded& loaded, const std::string& account_uid,
                           const std::string& account_name) const {
    ASSERT_EQ(loaded.count(account_uid), 1u) << "the service did not load " << account_uid;
    const KeyFile& account = loaded.at(account_uid);
    EXPECT_EQ(account.Get("Data Source", "DisplayName"), account_name);
    EXPECT_EQ(account.Get("Data Source", "Parent").value_or(""), "");
    EXPECT_EQ(account.Get("Mail Account", "BackendName"), "pop");
    EXPECT_EQ(account.Get("Authentication", "Host"), "secure.tessaline.net");
    EXPECT_EQ(account.Get("Authentication", "Port"), "995");
    EXPECT_EQ(account.Get("Authentication", "User"), "jane@example.com");
    EXPECT_EQ(account.Get("Security", "Method"), "ssl-on-alternate-port");
    const std::string identity_uid = account.Get("Mail Account", "IdentityUid").value_or("");
    ASSERT_EQ(loaded.count(identity_uid), 1u) << "no identity " << identity_uid;
    const KeyFile& identity = loaded.at(identity_uid);
    EXPECT_EQ(identity.Get("Data Source", "Parent"), account_uid);
    EXPECT_EQ(identity.Get("Mail Identity", "Address"), "jane@example.com");
    EXPECT_EQ(identity.Get("Mail Identity", "Name"), "Jane Doe");
    const std::string transport_uid = identity.Get("Mail Submission", "TransportUid").value_or("");
    ASSERT_EQ(loaded.count(transport_uid), 1u) << "no transport " << transport_uid;
    const KeyFile& transport = loaded.at(transport_uid);
    EXPECT_EQ(transport.Get("Data Source", "Parent"), account_uid);
    EXPECT_EQ(transport.Get("Mail Transport", "BackendName"), "smtp");
    EXPECT_EQ(transport.Get("Authentication", "Host"), "secure.tessaline.net");
    EXPECT_EQ(transport.Get("Authentication", "Port"), "465");
    EXPECT_EQ(transport.Get("Authentication", "User"), "jane@example.com");
    EXPECT_EQ(transport.Get("Security", "Method"), "ssl-on-alternate-port");
  }

  const testing::TemporaryFolder root{"evolution-home-e2e"};
  const fs::path home = root / "home";
  const fs::path bin = root / "bin";
};

TEST_F(EvolutionHomeTest, TheServiceLoadsTheAccountAndItsResetBackToTheProvidersServers) {
  InstallEvolution();
  const ProgramRun run = Configure();
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(ReadHostFile(LogFile()).find("Searching for Microsoft Outlook ... not detected.\r\n"
                                         "Searching for GNOME Evolution ... found.\r\n"),
            std::string::npos)
      << ReadHostFile(LogFile());
  const std::vector<std::string> accounts = SourcesWith(Sources(), "Mail Account");
  ASSERT_EQ(accounts.size(), 1u);
  const std::string uid = accounts.front();
  const std::vector<std::string> all = MailSources(Sources());
  ASSERT_EQ(all.size(), 3u);
  ExpectLoadedAccount(LoadedBy(home, all), uid, "jane@example.com");

  // Found again by its address, whatever its case.
  EXPECT_EQ(Run({"-n", "Jane Doe", "-a", "JANE@example.com", "-c", "5"}).exit_code, 5);

  // The user moved the account to another server; a reset puts it back in
  // the same files.
  const fs::path account_file = Sources() / (uid + ".source");
  std::string edited = ReadHostFile(account_file);
  edited.replace(edited.find("secure.tessaline.net"), 20, "pop.elsewhere.example");
  testing::WriteHostFile(account_file, edited);
  ASSERT_EQ(Configure({"-u"}).exit_code, 0);
  EXPECT_EQ(MailSources(Sources()), all);
  ExpectLoadedAccount(LoadedBy(home, all), uid, "jane@example.com");
}

TEST_F(EvolutionHomeTest, ARunningEvolutionIsRefused) {
  // A process named as Evolution's, holding nothing.
  const fs::path program = bin / "evolution";
  fs::copy_file("/bin/sleep", program);
  testing::BackgroundProcess evolution({{program.string(), "30"}});
  const ProgramRun run = Configure();
  EXPECT_EQ(run.exit_code, 20) << run.out << run.err;
  EXPECT_FALSE(fs::exists(Sources()));
}

// The automatic mode asked to close running clients ends Evolution too.
TEST_F(EvolutionHomeTest, TheAutomaticModeClosesARunningEvolution) {
  const fs::path program = bin / "evolution";
  fs::copy_file("/bin/sleep", program);
  testing::BackgroundProcess evolution({{program.string(), "30"}});
  const ProgramRun run = Run({"-auto", "-p", "Tess-", "-x"});
  EXPECT_NE(run.exit_code, 20) << run.out << run.err;
  EXPECT_NE(ReadHostFile(LogFile()).find("Running Email Client Detected: evolution. Closed.\r\n"),
            std::string::npos)
      << ReadHostFile(LogFile());
}

// The automatic mode, with Evolution the desktop's mail handler, reads its
// default account (here the first: the home's settings name none) and adds
// a copy named by the prefix; the service loads both, the original as it
// was.
TEST_F(EvolutionHomeTest, TheAutomaticCopyIsLoadedBesideTheOriginal) {
  InstallEvolution();
  ASSERT_EQ(Configure().exit_code, 0);
  const std::string original = SourcesWith(Sources(), "Mail Account").front();
  const std::string original_text = ReadHostFile(Sources() / (original + ".source"));
  testing::WriteHostFile(home / ".config/mimeapps.list",
                         "[Default Applications]\nx-scheme-handler/mailto=org.gnome.Evolution.desktop\n");

  const ProgramRun copy = Run({"-auto", "-p", "Tess-"});
  ASSERT_EQ(copy.exit_code, 0) << copy.out << copy.err;
  EXPECT_NE(ReadHostFile(LogFile()).find("Default email client: org.gnome.Evolution.desktop ("),
            std::string::npos)
      << ReadHostFile(LogFile());
  // Looked at before the service loads it: the service adds keys of its own.
  EXPECT_EQ(ReadHostFile(Sources() / (original + ".source")), original_text);

  const std::vector<std::string> accounts = SourcesWith(Sources(), "Mail Account");
  ASSERT_EQ(accounts.size(), 2u);
  const std::string made = accounts.front() == original ? accounts.back() : accounts.front();
  const Loaded loaded = LoadedBy(home, MailSources(Sources()));
  ExpectLoadedAccount(loaded, original, "jane@example.com");
  ExpectLoadedAccount(loaded, made, "Tess-jane@example.com");
}

// -d names the account in Evolution's settings, as gsettings then reads
// them on the same session bus (dconf keeps them in the home); the dry run
// shows the change and makes none, and undo puts the old default back.
// Without a session bus the run refuses before it writes anything.
TEST_F(EvolutionHomeTest, TheDefaultIsWhatGsettingsReadsAndUndoPutsItBack) {
  InstallEvolution();
  const char* path = std::getenv("PATH");
  const std::vector<std::string> cleared{"QUILLBANK_MACHINE", "XDG_STATE_HOME", "XDG_CONFIG_HOME",
                                         "XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS",
                                         "XDG_RUNTIME_DIR"};
  const testing::EnvironmentAdditions environment{
      {"HOME", home.string()},
      {"PATH", bin.string() + ":" + (path ? path : "/usr/bin:/bin")},
      {"Q", QUILLBANK_PROGRAM}};
  const ProgramRun without_bus = testing::RunProcess(
      {{QUILLBANK_PROGRAM, "--home", "-n", "Jane Doe", "-a", "jane@example.com", "-c", "5", "-d"},
       environment, cleared});
  EXPECT_EQ(without_bus.exit_code, 7) << without_bus.out;
  EXPECT_FALSE(fs::exists(Sources()));

  const std::string get = "gsettings get org.gnome.Evolution.DefaultSources default-mail-";
  const std::string script =
      "run() { \"$Q\" --home -n 'Jane Doe' -a jane@example.com -c 5 -d \"$@\"; echo \"exit $?\"; }; "
      "run --dry-run; " + get + "account; run --json; " + get + "account; " + get + "identity; "
      "\"$Q\" --home --undo; echo \"exit $?\"; " + get + "account; " + get + "identity";
  const ProgramRun run =
      testing::RunProcess({{"dbus-run-session", "--", "bash", "-c", script}, environment, cleared});
  // Undo removed what the run made, but the ~/.config it made stays: dconf
  // keeps the settings there.
  EXPECT_FALSE(fs::exists(home / ".config/evolution")) << run.out << run.err;
  EXPECT_TRUE(fs::exists(home / ".config/dconf/user"));
  const std::string& out = run.out;
  EXPECT_NE(out.find("GSettings\n; before\n[org.gnome.Evolution.DefaultSources]\n"
                     "default-mail-account='system'\ndefault-mail-identity=''\n; after\n"),
            std::string::npos)
      << out;
  // The dry run changed nothing; the run set both keys to its account's
  // uids; undo put back the defaults.
  const std::size_t json = out.find("\"account\":\"");
  ASSERT_NE(json, std::string::npos) << out;
  const std::string uid = out.substr(json + 11, 36);
  const std::size_t dry = out.find("exit 0\n'system'\n");
  const std::size_t set = out.find("exit 0\n'" + uid + "'\n'");
  const std::size_t undone = out.find("exit 0\n'system'\n''\n", set);
  EXPECT_TRUE(dry != std::string::npos && set != std::string::npos && undone != std::string::npos)
      << out << run.err;
  EXPECT_NE(ReadHostFile(LogFile()).find("Restored org.gnome.Evolution.DefaultSources "
                                         "default-mail-account."),
            std::string::npos);
}

// The sources of the folder's one mail account, each named and holding its
// part's role instead of its uid, so that two runs' accounts compare.
std::map<std::string, std::string> AccountByRole(const fs::path& folder) {
  std::map<std::string, std::string> roles;
  const std::vector<std::string> accounts = SourcesWith(folder, "Mail Account");
  if (accounts.size() != 1) return {};
  roles[accounts.front()] = "ACCOUNT";
  const KeyFile account(ReadHostFile(folder / (accounts.front() + ".source")));
  const std::string identity = account.Get("Mail Account", "IdentityUid").value_or("");
  roles[identity] = "IDENTITY";
  const KeyFile identity_file(ReadHostFile(folder / (identity + ".source")));
  roles[identity_file.Get("Mail Submission", "TransportUid").value_or("")] = "TRANSPORT";
  std::map<std::string, std::string> files;
  for (const auto& [uid, role] : roles) {
    std::string text = ReadHostFile(folder / (uid + ".source"));
    for (const auto& [other, other_role] : roles) {
      for (std::size_t at = text.find(other); at != std::string::npos; at = text.find(other, at)) {
        text.replace(at, other.size(), other_role);
      }
    }
    files[role] = text;
  }
  return files;
}

// The dry run writes nothing, and its printed diff applied to a copy of the
// home makes the account the real run then makes, uids aside.
TEST_F(EvolutionHomeTest, TheDryRunShowsTheRealRun) {
  InstallEvolution();
  const testing::TemporaryFolder copy_root{"evolution-home-copy"};
  const fs::path copy = copy_root / "home";
  fs::copy(home, copy, fs::copy_options::recursive);
  const ProgramRun dry = Configure({"--dry-run"});
  ASSERT_EQ(dry.exit_code, 0) << dry.out << dry.err;
  EXPECT_TRUE(fs::is_empty(home));

  ASSERT_EQ(Configure().exit_code, 0);
  std::string preview = dry.out;
  for (std::size_t at = preview.find(home.string()); at != std::string::npos;
       at = preview.find(home.string(), at)) {
    preview.replace(at, home.string().size(), copy.string());
  }
  std::string error;
  const std::unique_ptr<SystemServices> copied = OpenUserHome(copy.string(), std::nullopt, error);
  ASSERT_TRUE(copied) << error;
  ASSERT_TRUE(testing::ApplyPreview(copied->platform(), preview, error)) << error << dry.out;
  const std::map<std::string, std::string> made = AccountByRole(Sources());
  EXPECT_EQ(made.size(), 3u);
  EXPECT_EQ(AccountByRole(copy / ".config/evolution/sources"), made);
}

}  // namespace
}  // namespace quillbank::e2e
