// The list of clients as the rest of the program relies on it: numbers and
// codes that identify one client each, buttons that fit the dialog, and the
// signs detection goes by on each kind of system.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "env/client_detection.h"
#include "tests/support/fake_platform.h"
#include "tests/support/mail_clients.h"

namespace quillbank {
namespace {

using testing::FakePlatform;

TEST(ClientListTest, CodesRanksAndButtonsNameOneClientEach) {
  std::set<int> codes;
  std::set<int> ranks;
  std::set<int> buttons;
  for (const ClientDescriptor* client : AllClients()) {
    SCOPED_TRACE(client->name);
    EXPECT_TRUE(codes.insert(client->default_code).second);
    EXPECT_NE(client->default_code, kUnrecognisedDefaultClient);
    EXPECT_TRUE(ranks.insert(client->detection_rank).second);
    if (client->button.id != 0) {
      EXPECT_TRUE(buttons.insert(client->button.id).second);
    }
    EXPECT_NE(client->make_configurator, nullptr);
    for (const SystemKind kind : {SystemKind::Windows, SystemKind::MachineFolder, SystemKind::UserHome}) {
      const ClientSite& site = client->site(kind);
      // A client that exists somewhere can be found and seen running there.
      if (!site.exists) continue;
      EXPECT_FALSE(site.processes.empty());
      EXPECT_TRUE(site.mail_key || site.program_on_path || site.installed_when_folder_exists);
    }
  }
  EXPECT_EQ(MachineClients().IndexWithDefaultCode(5), static_cast<int>(MailClient::Thunderbird));
  EXPECT_EQ(MachineClients().IndexWithDefaultCode(kUnrecognisedDefaultClient), kNoClient);
  EXPECT_EQ(MachineClients().IndexWithDefaultCode(99), kNoClient);
}

TEST(ClientListTest, NamesAreListedAsTheMessagesNeedThem) {
  EXPECT_EQ(MachineClients().Numbers(),
            "0 Outlook Express, 1 Outlook, 2 Windows Mail, 3 Eudora, 4 Thunderbird");
  EXPECT_EQ(MachineClients().ShortNamesOn(SystemKind::MachineFolder),
            "Outlook Express, Outlook, Windows Mail, Eudora and Thunderbird");
  EXPECT_EQ(MachineClients().ShortNamesOn(SystemKind::UserHome), "Thunderbird and Evolution");
  EXPECT_TRUE(HomeClients().ExistsHere(static_cast<int>(MailClient::Thunderbird)));
  EXPECT_FALSE(HomeClients().ExistsHere(static_cast<int>(MailClient::Eudora)));
  EXPECT_FALSE(HomeClients().ExistsHere(99));
}

// Each sign a site names finds the client; none of another kind of system does.
TEST(ClientListTest, DetectionGoesByTheSitesSigns) {
  struct Case {
    const char* what;
    bool home;
    const char* mail_key;  // created below HKLM Clients\Mail
    const char* on_path;
    const char* folder;    // made on the machine
    bool installed;
  };
  const Case cases[] = {
      {"machine folder: the Clients\\Mail key", false, "Mozilla Thunderbird", nullptr, nullptr, true},
      {"machine folder: a profile folder alone is not enough", false, nullptr, nullptr,
       "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird", false},
      {"machine folder: PATH is not looked at", false, nullptr, "thunderbird", nullptr, false},
      {"home: on PATH", true, nullptr, "thunderbird", nullptr, true},
      {"home: the snap's folder", true, nullptr, nullptr,
       "/home/jane/snap/thunderbird/common/.thunderbird", true},
      {"home: the registry key is not looked at", true, "Mozilla Thunderbird", nullptr, nullptr, false},
      {"home: nothing", true, nullptr, nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform machine;
    machine.MakeAppData("C:\\Users\\jane\\AppData\\Roaming");
    if (c.home) machine.user.BecomeHome();
    if (c.mail_key) {
      machine.CreateKey(RegRoot::LocalMachine, std::string("SOFTWARE\\Clients\\Mail\\") + c.mail_key);
    }
    if (c.on_path) machine.user.on_path.insert(c.on_path);
    if (c.folder) machine.files.MakeFolders(c.folder);
    const ClientList& clients = c.home ? HomeClients() : MachineClients();
    const int thunderbird = static_cast<int>(MailClient::Thunderbird);
    EXPECT_EQ(IsClientInstalled(machine.platform, clients.SiteOf(thunderbird)), c.installed);
  }
}

}  // namespace
}  // namespace quillbank
