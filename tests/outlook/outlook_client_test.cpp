#include <gtest/gtest.h>

#include "clients/outlook/outlook_client.h"
#include "tests/support/fake_platform.h"

namespace quillbank {
namespace {

using testing::FakePlatform;

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

}  // namespace
}  // namespace quillbank
