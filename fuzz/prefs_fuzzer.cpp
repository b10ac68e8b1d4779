// prefs.js as Thunderbird or a user may leave it: whatever the file holds, a
// run must not crash, a failed run must leave it as it was, and a successful
// one must keep every line that is no mail setting, in its order.
#include "clients/thunderbird/thunderbird_client.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

constexpr const char* kPrefs =
    "C:\\Users\\jane\\AppData\\Roaming\\Thunderbird\\Profiles\\abcd.default\\prefs.js";

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  testing::FakePlatform& fake = machine.fake;
  fake.files.Put(std::string(kAppData) + "\\Thunderbird\\profiles.ini",
                 "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abcd.default\r\n");
  const bool overwrite = input.ConsumeBool();
  const bool make_default = input.ConsumeBool();
  const bool use_ssl = input.ConsumeBool();
  // An address the file may well hold, so that resets are reached too.
  const std::string address = input.ConsumeBool() ? "jane@example.com" : "a@b";
  const std::string before = input.ConsumeRemainingBytesAsString();
  fake.files.Put(kPrefs, before);

  AccountRequest request{address, "Jane Doe", make_default, overwrite, use_ssl, machine.log.log()};
  ThunderbirdConfigurator configurator(fake.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder));
  // The automatic mode's readers take whatever the file holds, and change
  // nothing.
  const std::optional<std::string> key = configurator.GetDefAcct();
  (void)configurator.GetAcctAddr(key);
  (void)configurator.GetAcctName(configurator.FindAcctByAddr("@"));
  if (fake.files.ReadFile(kPrefs) != before) Fail("a reader changed prefs.js");
  const ConfigStatus status = configurator.Configure();
  const std::string after = fake.files.ReadFile(kPrefs).value_or("");
  if (status != status::kSuccess && after != before) Fail("a failed run changed prefs.js");
  if (!LeavesNoTemporaryFile(fake.files)) Fail("a temporary file was left");
  const auto no_mail_setting = [](std::string_view line) {
    return line.find("mail.") == std::string_view::npos;
  };
  if (status == status::kSuccess) ExpectKept(before, after, no_mail_setting);
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
