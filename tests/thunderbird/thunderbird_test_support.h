// A Thunderbird user on an in-memory machine: the application data folder in
// the session's registry, and helpers to lay out profiles.ini and prefs.js.
#pragma once

#include <string>
#include <vector>

#include "clients/thunderbird/thunderbird_client.h"
#include "core/account_request.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_data.h"

namespace quillbank::thunderbird_test {

using Lines = std::vector<std::string>;

inline constexpr const char* kAppData = "C:\\Users\\jane\\AppData\\Roaming";
inline constexpr const char* kProfileList = "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\profiles.ini";
inline constexpr const char* kProfile =
    "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\Profiles\\abcd1234.default";
inline constexpr const char* kPrefs =
    "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\Profiles\\abcd1234.default\\prefs.js";

inline std::string Crlf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

struct ThunderbirdUser {
  ThunderbirdUser() {
    fake.MakeAppData(kAppData);
  }

  // A profile list naming Profiles/abcd1234.default, and its prefs.js.
  void WithProfile(const Lines& prefs) {
    fake.files.Put(kProfileList, testing::ReadTestData("thunderbird/profiles.ini"));
    fake.files.Put(kPrefs, Crlf(prefs));
  }

  ConfigStatus Run(const std::string& address, const std::string& name, bool make_default,
                   bool overwrite, bool use_ssl = true) {
    AccountRequest request{address, name, make_default, overwrite, use_ssl, log.log()};
    return ThunderbirdConfigurator(fake.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder)).Configure();
  }

  Lines PrefsLines(const std::string& path = kPrefs) {
    return testing::LinesOf(fake.files.ReadFile(path).value_or("<missing>"));
  }

  testing::FakePlatform fake;
  testing::CapturedLog log;
};

}  // namespace quillbank::thunderbird_test
