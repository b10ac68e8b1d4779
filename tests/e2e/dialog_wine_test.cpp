// The real dialog of the Windows build under Wine on a virtual screen, used
// by a driver program as a user would: pick a client, type a name and an
// address, open the About box, press Configure, read the result and close
// with Enter, which starts the client. Screenshots of the views are saved in the build folder.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "tests/e2e/e2e_machine.h"
#include "tests/e2e/virtual_screen.h"
#include "tests/support/host_file.h"
#include "tests/support/log_text.h"
#include "tests/support/test_data.h"

namespace quillbank::e2e {
namespace {

namespace fs = std::filesystem;
using testing::MaskedLines;
using testing::ReadHostFile;
using testing::WriteHostFile;

struct SeenControl {
  bool visible = false;
  bool enabled = false;
  bool checked = false;
  std::string text;
};

// What the driver reported: the last window found and each control's state
// as its last "state" step saw it.
struct SeenWindow {
  ScreenArea area;
  bool enabled = false;
};

struct Seen {
  bool ok = false;
  ScreenArea window;                // the last one found
  std::vector<SeenWindow> windows;  // each found, in order
  int focus = -1;                   // the last "focus" step's control
  std::map<int, SeenControl> controls;
  std::string output;

  [[nodiscard]] std::set<int> Visible() const {
    std::set<int> ids;
    for (const auto& [id, control] : controls) {
      if (control.visible) ids.insert(id);
    }
    return ids;
  }
};

Seen ParseDriverOutput(const ProgramRun& run) {
  Seen seen;
  seen.ok = run.exit_code == 0;
  seen.output = run.out + run.err;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "window") {
      SeenWindow window;
      words >> window.area.x >> window.area.y >> window.area.width >> window.area.height >>
          window.enabled;
      seen.windows.push_back(window);
      seen.window = window.area;
    } else if (kind == "focus") {
      words >> seen.focus;
    } else if (kind == "control") {
      int id = 0;
      SeenControl control;
      words >> id >> control.visible >> control.enabled >> control.checked;
      std::getline(words, control.text);
      if (!control.text.empty() && control.text.front() == ' ') control.text.erase(0, 1);
      seen.controls[id] = control;
    }
  }
  return seen;
}

fs::path DialogDriver() {
  const fs::path program = WindowsProgram();
  if (program.empty()) return {};
  const fs::path driver = program.parent_path() / "tests" / "dialog_driver.exe";
  return fs::exists(driver) ? driver : fs::path();
}

fs::path ScreenshotFolder() {
  const fs::path folder = fs::path(QUILLBANK_BINARY_DIR) / "screenshots";
  fs::create_directories(folder);
  return folder;
}

// Thunderbird installed and the default client, with one profile, and
// Outlook Express installed beside it; Thunderbird's App Paths entry stands
// in for the client with a command that leaves a mark. Every program runs on
// a Wine desktop of its own, which draws the captions and frames that a
// screenshot should show.
std::vector<std::string> Registry() {
  return {testing::ReadTestData("registry/thunderbird.reg"),
          testing::ReadTestData("registry/thunderbird_default.reg"),
          testing::ReadTestData("registry/outlook_express.reg"),
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\thunderbird.exe]\r\n"
          "@=\"%ProgramFiles%\\\\..\\\\windows\\\\system32\\\\cmd.exe /c echo started>C:\\\\launched.txt\"\r\n",
          "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n\"Desktop\"=\"Default\"\r\n\r\n"
          "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n\"Default\"=\"800x600\"\r\n"};
}

class DialogWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WineAvailable()) GTEST_SKIP() << "wine64 is not installed";
    if (DialogDriver().empty()) GTEST_SKIP() << "the win64 build of the program or driver is missing";
    if (!VirtualScreenAvailable()) GTEST_SKIP() << "Xvfb or ImageMagick's import is missing";
    ASSERT_TRUE(prefix.ok());
    user = prefix.UserFolder();
    ASSERT_FALSE(user.empty());
    const fs::path thunderbird = user / "AppData" / "Roaming" / "Thunderbird";
    WriteHostFile(thunderbird / "profiles.ini", testing::ReadTestData("thunderbird/profiles.ini"));
    WriteHostFile(thunderbird / "Profiles" / "abcd1234.default" / "prefs.js",
                  testing::ReadTestData("thunderbird/prefs_one_account.js"));
    const ProgramRun imported = ImportRegistry(prefix, Registry());
    ASSERT_EQ(imported.exit_code, 0) << imported.err;
    ASSERT_TRUE(screen.ok());
  }

  Seen Drive(const std::vector<std::string>& steps) {
    return ParseDriverOutput(RunWindowsProgramBeside(prefix.path(), DialogDriver().string(), steps,
                                                     {{"DISPLAY", screen.display()}}));
  }
  void Screenshot(const std::string& name, const ScreenArea& area) {
    const fs::path png = ScreenshotFolder() / name;
    EXPECT_TRUE(screen.Screenshot(png, area)) << png;
  }

  ScenarioPrefix prefix;
  VirtualScreen screen;
  fs::path user;
};

TEST_F(DialogWineTest, AUserConfiguresThunderbirdAndClosesWithEnter) {
  BackgroundProgram dialog(prefix.path(), WindowsProgram().string(), {},
                           {{"DISPLAY", screen.display()}});
  ASSERT_TRUE(dialog.started());

  // The editing view as it opens: Thunderbird, the default, is preselected.
  Seen opened = Drive({"wait", "Tessaline", "state"});
  ASSERT_TRUE(opened.ok) << opened.output;
  EXPECT_GT(opened.window.width, 0);
  EXPECT_TRUE(opened.controls[1016].checked && opened.controls[1016].enabled);
  EXPECT_TRUE(opened.controls[1000].enabled && !opened.controls[1000].checked);
  for (int missing : {1014, 1026, 1015}) EXPECT_FALSE(opened.controls[missing].enabled) << missing;
  EXPECT_FALSE(opened.controls[1002].enabled);
  EXPECT_FALSE(opened.controls[1024].visible);
  EXPECT_TRUE(opened.controls[1025].checked);
  EXPECT_TRUE(opened.controls[1027].checked);
  EXPECT_EQ(opened.controls[2].text, "Cancel");

  // Picking another client clears the first; then back to Thunderbird.
  Seen picked = Drive({"wait", "Tessaline", "click", "1000", "state"});
  ASSERT_TRUE(picked.ok) << picked.output;
  EXPECT_TRUE(picked.controls[1000].checked);
  EXPECT_FALSE(picked.controls[1016].checked);
  EXPECT_FALSE(picked.controls[1002].enabled);

  Seen typed = Drive({"wait", "Tessaline", "type", "1005", "Jane Doe", "type", "1004",
                      "jane@example.com", "click", "1016", "click", "1003", "state"});
  ASSERT_TRUE(typed.ok) << typed.output;
  EXPECT_TRUE(typed.controls[1016].checked && !typed.controls[1000].checked);
  EXPECT_TRUE(typed.controls[1002].enabled) << "Configure stays disabled";
  EXPECT_TRUE(typed.controls[1003].checked);
  Screenshot("dialog-editing.png", typed.window);

  // The About box opens over it with its fixed texts and closes on Escape;
  // meanwhile the main dialog cannot be used.
  Seen about = Drive({"wait", "Tessaline", "post-click", "1018", "wait", "About Quillbank", "wait",
                      "Tessaline", "wait", "About Quillbank", "state"});
  ASSERT_TRUE(about.ok) << about.output;
  ASSERT_EQ(about.windows.size(), 4u);
  EXPECT_TRUE(about.windows[0].enabled);
  EXPECT_FALSE(about.windows[2].enabled) << "the main dialog stays usable behind the About box";
  EXPECT_EQ(about.controls[1022].text, "IMAP Port: 110");
  EXPECT_EQ(about.controls[1021].text, "SMTP Port: 587");
  EXPECT_EQ(about.controls[1023].text, "pop.tessaline.net");
  EXPECT_EQ(about.controls[1020].text, "smtp.tessaline.net");
  Screenshot("dialog-about.png", about.window);
  Seen about_closed = Drive({"wait", "About Quillbank", "key", "escape", "gone", "About Quillbank",
                             "wait", "Tessaline"});
  EXPECT_TRUE(about_closed.ok) << about_closed.output;
  EXPECT_TRUE(about_closed.window.width > 0 && about_closed.windows.back().enabled);

  // Configure: the result view with the success message and the launch box.
  Seen result = Drive({"wait", "Tessaline", "click", "1002", "state", "focus"});
  ASSERT_TRUE(result.ok) << result.output;
  EXPECT_EQ(result.focus, 2) << "Close should have the focus, so that Enter reaches it";
  EXPECT_EQ(result.Visible(), (std::set<int>{1009, 2, 1024}));
  EXPECT_NE(result.controls[1009].text.find("Mozilla Thunderbird"), std::string::npos)
      << result.controls[1009].text;
  EXPECT_EQ(result.controls[2].text, "Close");
  EXPECT_TRUE(result.controls[1024].checked && result.controls[1024].enabled);
  Screenshot("dialog-result.png", result.window);

  // Enter presses Close now; the program ends and starts the client.
  Seen closed = Drive({"wait", "Tessaline", "key", "enter"});
  EXPECT_TRUE(closed.ok) << closed.output;
  EXPECT_EQ(dialog.Wait(std::chrono::seconds(20)), std::optional<int>(0));
  const fs::path mark = prefix.DriveC() / "launched.txt";
  for (int i = 0; i < 100 && !fs::exists(mark); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(fs::exists(mark)) << "the client's App Paths command did not run";

  const std::vector<std::string> log =
      MaskedLines(ReadHostFile(user / "AppData" / "Roaming" / "Quillbank.log"));
  std::vector<std::string> start = MaskedLines(
      testing::ReadTestData("logs/banner_dialog.log") +
      testing::DetectionLog({"found.", "not detected.", "found.", "not detected.", "not detected."}) +
      "Detecting default email client ... found. (Mozilla Thunderbird)\r\n\r\n");
  start.insert(start.end(), {
      "User Entered Email Address: jane@example.com",
      "User Entered Display Name: Jane Doe",
      "Make Account Default: Yes",
      "Overwrite Existing Account: Yes",
      "Client Selected to Configure: Mozilla Thunderbird",
  });
  ASSERT_GT(log.size(), start.size() + 4);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + start.size()), start);
  const std::vector<std::string> end = {
      "Email Client Configuration Successful!",
      "",
      "* Configuration Complete at <time> *",
      "",
      "Email client path to start is : C:\\Program Files\\..\\windows\\system32\\cmd.exe /c echo "
      "started>C:\\launched.txt",
      "",
  };
  EXPECT_EQ(std::vector<std::string>(log.end() - end.size(), log.end()), end);
}

}  // namespace
}  // namespace quillbank::e2e
