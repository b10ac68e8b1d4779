// The home's default client: the desktop's mimeapps.list files in the order a
// desktop reads them, and the desktop file the mailto entry names.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "env/client_detection.h"
#include "env/desktop_mail_handler.h"
#include "tests/support/fake_platform.h"
#include "tests/support/mail_clients.h"

namespace quillbank {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

constexpr int kThunderbirdCode = 5;
constexpr int kEvolutionCode = 6;
constexpr const char* kUserList = "/home/jane/.config/mimeapps.list";
constexpr const char* kGnomeUserList = "/home/jane/.config/gnome-mimeapps.list";
constexpr const char* kSystemList = "/etc/xdg/mimeapps.list";
constexpr const char* kDataList = "/usr/share/applications/mimeapps.list";
constexpr const char* kUserApplications = "/home/jane/.local/share/applications/";
constexpr const char* kApplications = "/usr/share/applications/";

std::string MailtoList(const std::string& ids) {
  return "[Default Applications]\nx-scheme-handler/mailto=" + ids + "\n";
}
std::string DesktopFile(const std::string& exec) {
  return "[Desktop Entry]\nType=Application\nName=Mail\nExec=" + exec + "\n";
}

// The program's own clients of the home: Thunderbird and Evolution, known by
// the programs "thunderbird" and "evolution" on PATH.
const ClientList& HomeClientsWithEvolution() {
  static const ClientList clients(AllClients(), SystemKind::UserHome);
  return clients;
}

TEST(DesktopMailHandlerTest, TheFirstListWithTheEntryNamesTheClient) {
  struct Case {
    const char* what;
    std::vector<std::string> desktops;
    Files files;
    const char* id;    // "" when no list names a handler
    const char* list;
    int code;
  };
  const Case cases[] = {
      {"user list", {}, {{kUserList, MailtoList("thunderbird.desktop;")}},
       "thunderbird.desktop", kUserList, kThunderbirdCode},
      {"the desktop's own user list first", {"gnome"},
       {{kUserList, MailtoList("thunderbird.desktop")},
        {kGnomeUserList, MailtoList("org.gnome.Evolution.desktop")}},
       "org.gnome.Evolution.desktop", kGnomeUserList, kEvolutionCode},
      {"each desktop in order, a list without the entry passed over", {"ubuntu", "gnome"},
       {{"/home/jane/.config/ubuntu-mimeapps.list",
         "[Default Applications]\ntext/html=firefox.desktop\n"},
        {kGnomeUserList, MailtoList("org.gnome.Evolution.desktop")},
        {kUserList, MailtoList("thunderbird.desktop")}},
       "org.gnome.Evolution.desktop", kGnomeUserList, kEvolutionCode},
      {"system list in XDG_CONFIG_DIRS", {},
       {{kSystemList, MailtoList("org.gnome.Evolution.desktop")},
        {kDataList, MailtoList("thunderbird.desktop")}},
       "org.gnome.Evolution.desktop", kSystemList, kEvolutionCode},
      {"user list before the system list", {},
       {{kUserList, MailtoList("thunderbird.desktop")},
        {kSystemList, MailtoList("org.gnome.Evolution.desktop")}},
       "thunderbird.desktop", kUserList, kThunderbirdCode},
      {"data folder's applications list", {}, {{kDataList, MailtoList("thunderbird.desktop")}},
       "thunderbird.desktop", kDataList, kThunderbirdCode},
      {"user data list before the system's", {},
       {{std::string(kUserApplications) + "mimeapps.list",
         MailtoList("org.gnome.Evolution.desktop")},
        {kDataList, MailtoList("thunderbird.desktop")}},
       "org.gnome.Evolution.desktop", "/home/jane/.local/share/applications/mimeapps.list",
       kEvolutionCode},
      {"none: Thunderbird, as when unset", {}, {}, "", "", kThunderbirdCode},
      {"only other groups and an empty entry: as unset", {},
       {{kUserList,
         "[Added Associations]\nx-scheme-handler/mailto=org.gnome.Evolution.desktop;\n"
         "[Default Applications]\nx-scheme-handler/mailto=\n"}},
       "", "", kThunderbirdCode},
      {"the first of several ids; blanks and comments", {},
       {{kUserList,
         "# chosen in the settings\n[Default Applications]\n"
         "x-scheme-handler/mailto = ; org.gnome.Evolution.desktop ;thunderbird.desktop;\r\n"}},
       "org.gnome.Evolution.desktop", kUserList, kEvolutionCode},
      {"Thunderbird by its Exec line only", {},
       {{kUserList, MailtoList("mail-client.desktop")},
        {std::string(kApplications) + "mail-client.desktop",
         DesktopFile("/usr/lib/thunderbird/thunderbird %u")}},
       "mail-client.desktop", kUserList, kThunderbirdCode},
      {"a flatpak's Exec line", {},
       {{kUserList, MailtoList("mail.desktop")},
        {"/home/jane/.local/share/flatpak/exports/share/applications/mail.desktop",
         DesktopFile("/usr/bin/flatpak run --branch=stable --arch=x86_64 --command=thunderbird "
                     "org.mozilla.Thunderbird @@u %u @@")}},
       "mail.desktop", kUserList, kThunderbirdCode},
      {"the first data folder's desktop file; a quoted command", {},
       {{kUserList, MailtoList("mail.desktop")},
        {std::string(kUserApplications) + "mail.desktop",
         DesktopFile("\"/opt/my mail/evolution\" %U")},
        {std::string(kApplications) + "mail.desktop", DesktopFile("thunderbird %u")}},
       "mail.desktop", kUserList, kEvolutionCode},
      {"an unknown client", {},
       {{kUserList, MailtoList("org.gnome.Geary.desktop")},
        {std::string(kApplications) + "org.gnome.Geary.desktop", DesktopFile("geary %U")}},
       "org.gnome.Geary.desktop", kUserList, kUnrecognisedDefaultClient},
      {"a program name inside a longer word is not it", {},
       {{kUserList, MailtoList("thunderbirdish.desktop")},
        {std::string(kApplications) + "thunderbirdish.desktop", DesktopFile("thunderbirdish %u")}},
       "thunderbirdish.desktop", kUserList, kUnrecognisedDefaultClient},
      {"nor one at the end of a longer word", {},
       {{kUserList, MailtoList("notthunderbird.desktop")}},
       "notthunderbird.desktop", kUserList, kUnrecognisedDefaultClient},
      {"an id that is a path is not looked up", {},
       {{kUserList, MailtoList("sub/mail.desktop")},
        {std::string(kApplications) + "sub/mail.desktop", DesktopFile("thunderbird %u")}},
       "sub/mail.desktop", kUserList, kUnrecognisedDefaultClient},
  };
  for (const Case& c : cases) {
    testing::FakePlatform home;
    home.user.BecomeHome();
    home.user.data_folders.push_back("/home/jane/.local/share/flatpak/exports/share");
    home.user.desktops = c.desktops;
    for (const auto& [path, text] : c.files) home.files.Put(path, text);

    const DefaultClientFound found = DefaultClient(home.platform, HomeClientsWithEvolution());
    EXPECT_TRUE(found.asked_desktop) << c.what;
    EXPECT_EQ(found.handler ? found.handler->desktop_id : "", c.id) << c.what;
    EXPECT_EQ(found.handler ? found.handler->list_file : "", c.list) << c.what;
    EXPECT_EQ(found.code, c.code) << c.what;
  }
}

TEST(DesktopMailHandlerTest, TheMachineFolderDoesNotAskTheDesktop) {
  testing::FakePlatform machine;
  machine.user.config_folders = {"C:\\config"};
  machine.files.Put("C:\\config\\mimeapps.list", MailtoList("thunderbird.desktop"));
  const DefaultClientFound found = DefaultClient(machine.platform, MachineClients());
  EXPECT_FALSE(found.asked_desktop);
  EXPECT_FALSE(found.handler);
  EXPECT_EQ(found.code, kUnrecognisedDefaultClient);
}

}  // namespace
}  // namespace quillbank
