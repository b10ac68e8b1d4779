#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "clients/outlook/outlook2000_configurator.h"
#include "clients/outlook/outlook_client.h"
#include "tests/outlook/profile_store_fixture.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::CapturedLog;
using testing::DescribeNode;
using testing::FakePlatform;
using testing::kAddress;
using testing::kDisplayName;
using testing::kHkcu;

TEST(DetectionTest, OutlookVersionIsReadOrDefined) {
  const std::string key = "SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
  struct Case {
    const char* value;  // nullptr: no value at all
    int version;
  };
  const Case cases[] = {{"C:\\Program Files\\Microsoft\\Office\\12.0\\Outlook", 12},
                        // The first Office\ marker counts, even when no number follows it.
                        {"C:\\Microsoft Office\\Office\\12.0\\", 0},
                        {"Office\\9.0\\", 9},
                        {"C:\\Office\\", kUnknownOutlookVersion},
                        {"no markers", kUnknownOutlookVersion},
                        {nullptr, kUnknownOutlookVersion}};
  for (const Case& c : cases) {
    FakePlatform machine;
    machine.CreateKey(RegRoot::LocalMachine, key);
    if (c.value) machine.SetText(RegRoot::LocalMachine, key, "MSIApplicationLCID", c.value);
    EXPECT_EQ(ReadOutlookVersion(machine.registry), c.version) << (c.value ? c.value : "(none)");
  }
}

// The store a run changes goes by Outlook's major version: the Outlook 2000
// store below 10, the default profile's up to 14, none from 15 on. There both
// modes end with 8 before anything is read, and log the settings to enter.
TEST(OutlookVersionTest, FromVersionFifteenNothingIsReadOrWritten) {
  const std::string profile = outlook_profile::ProfileAccountPath("Outlook");
  struct Case {
    int version;
    bool ssl;
    const char* written;  // the key that gets the account; null: nothing changes
  };
  const Case cases[] = {{9, true, outlook::kOmiAccountsPath}, {10, true, profile.c_str()},
                        {11, true, profile.c_str()},          {12, true, profile.c_str()},
                        {14, true, profile.c_str()},          {15, true, nullptr},
                        {16, true, nullptr},                  {16, false, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.version) + (c.ssl ? " with SSL" : " without SSL"));
    FakePlatform machine;
    machine.SetText(kHkcu, outlook_profile::kProfilesKey, "DefaultProfile", "Outlook");
    machine.CreateKey(kHkcu, profile);
    std::vector<std::string> before;
    DescribeNode(machine.registry.RootNode(kHkcu), "", before);
    CapturedLog log;
    const ClientOnSystem outlook{OutlookClient().site(SystemKind::MachineFolder), c.version};
    const std::optional<ConfigStatus> refused =
        OutlookClient().make_reader(machine.platform, log.log(), outlook)->RefusesToRead();
    const ConfigStatus status =
        OutlookClient()
            .make_configurator(machine.platform,
                               AccountRequest{kAddress, kDisplayName, false, false, c.ssl, log.log()},
                               outlook)
            ->Configure();
    std::vector<std::string> after;
    DescribeNode(machine.registry.RootNode(kHkcu), "", after);
    if (c.written) {
      EXPECT_EQ(refused, std::nullopt);
      EXPECT_EQ(status, status::kSuccess);
      EXPECT_EQ(machine.Subkeys(kHkcu, c.written).size(), 1u);
      continue;
    }
    EXPECT_EQ(refused, status::kUnsupportedVersion);
    EXPECT_EQ(status, status::kUnsupportedVersion);
    EXPECT_EQ(after, before);
    const std::string keeps = "Outlook " + std::to_string(c.version) +
                              " keeps its accounts in its own profile store; Quillbank does not "
                              "change it.";
    const std::string incoming = c.ssl ? "secure.tessaline.net:995 (SSL)" : "pop.tessaline.net:110";
    const std::string outgoing = c.ssl ? "secure.tessaline.net:465 (SSL, authentication)"
                                       : "smtp.tessaline.net:587 (authentication)";
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               keeps, "Account type: POP3",
                               "Incoming server: secure.tessaline.net:995 (SSL)",
                               "Outgoing server: secure.tessaline.net:465 (SSL, authentication)",
                               "User name: <your email address>", "", keeps, "Account type: POP3",
                               "Incoming server: " + incoming, "Outgoing server: " + outgoing,
                               "User name: jane@tessaline.net", ""}));
  }
}

}  // namespace
}  // namespace quillbank
