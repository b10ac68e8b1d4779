// The Windows build's MAPI, as the system provides it. Under Wine, MAPI32
// without a native MAPI provider refuses to initialise (MAPI_E_NOT_INITIALIZED,
// 80040605), so the Outlook 2000 step ends at its first MAPI call; on a
// Windows system with Outlook the service is created.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>


#include "clients/outlook/outlook2000_configurator.h"
#include "env/platform/mapi.h"
#include "tests/support/captured_text.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

constexpr RegRoot kHkcu = RegRoot::CurrentUser;
constexpr const char* kProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(Win32Mapi, WineRefusesToInitialiseWithoutAMapiProvider) {
  if (!RunsUnderWine()) GTEST_SKIP() << "records Wine's MAPI32";
  std::unique_ptr<MapiAdmin> mapi = MakeWin32Mapi();
  EXPECT_EQ(static_cast<std::uint32_t>(mapi->Initialize()), 0x80040605u);
  // Past a failed initialisation Wine hands out nothing either.
  std::unique_ptr<MapiProfileAdmin> admin;
  EXPECT_EQ(static_cast<std::uint32_t>(mapi->AdminProfiles(admin)), 0x80004005u);
  EXPECT_EQ(admin, nullptr);
  std::unique_ptr<MapiSession> session;
  EXPECT_TRUE(MapiFailed(mapi->LogonEx("Default", session)));
  EXPECT_EQ(session, nullptr);
}

TEST(Win32Mapi, TheOutlook2000StepAgainstTheSystemsMapi) {
  testing::FakePlatform fake;
  std::unique_ptr<MapiAdmin> mapi = MakeWin32Mapi();
  fake.platform.mapi = mapi.get();
  fake.SetDword(kHkcu, "Software\\Microsoft\\Office\\9.0\\Outlook\\Setup", "MailSupport", 1);
  fake.SetText(kHkcu, kProfiles, "DefaultProfile", "Quillbank Test");
  fake.CreateKey(kHkcu, std::string(kProfiles) + "\\Quillbank Test\\9207f3e0a3b11019908b08002b2a56c2");
  testing::CapturedLog log;
  testing::CapturedText out;
  Outlook2000Configurator configurator(
      fake.platform, AccountRequest{"jane@tessaline.net", "Jane Doe", false, false, true, log.log()},
      out);
  EXPECT_EQ(configurator.Configure(), 0);
  EXPECT_EQ(fake.Text(kHkcu,
                      "Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\Accounts\\"
                      "jane@tessaline.net",
                      "SMTP Email Address"),
            "jane@tessaline.net");
  if (RunsUnderWine()) {
    EXPECT_EQ(out.str(), "Error initializing MAPI. hRes = 0x80040605\n");
  } else {
    // A real system's MAPI cannot see the in-memory profile: any step may
    // fail, but only with one of the step lines.
    EXPECT_TRUE(out.str().empty() || out.str().rfind("Error ", 0) == 0) << out.str();
  }
  EXPECT_EQ(log.Lines().back(),
            "Outlook is in Corporate/Workgroup Mode. Creating MAPI Internet Mail Profile...");
}

}  // namespace
}  // namespace quillbank
#endif
