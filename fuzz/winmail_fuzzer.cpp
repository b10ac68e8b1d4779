// Windows Mail account files as any program may leave them: the search reads
// every account file, a reset rewrites the one that matches, the automatic
// mode's readers read it. No input may crash the run or a reader, a failed
// run or a reader changes no file, and no temporary file stays.
#include "clients/windows_mail/windows_mail_configurator.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

constexpr const char* kFolder = "C:\\Users\\jane\\AppData\\Local\\Microsoft\\Windows Mail\\Local Folders";

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  testing::FakePlatform& fake = machine.fake;
  fake.SetText(RegRoot::CurrentUser, winmail::kStoreKey, winmail::kStoreRootValue,
               "%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows Mail\\");
  fake.environment.Set("USERPROFILE", "C:\\Users\\jane");
  fake.files.MakeFolders(kFolder);
  const bool overwrite = input.ConsumeBool();
  const bool make_default = input.ConsumeBool();
  const std::string address = input.ConsumeBool() ? "jane@example.com" : "a@b";
  fake.files.Put(std::string(kFolder) + "\\account{a}.oeaccount", input.ConsumeRemainingBytesAsString());
  const auto before = Snapshot(fake.files);

  // The automatic mode's readers take the same file and change nothing.
  {
    WindowsMailConfigurator readers(fake.platform, {"", "", false, false, true, machine.log.log()});
    const std::optional<std::string> key = readers.FindAcctByAddr("@");
    (void)readers.GetAcctAddr(key);
    (void)readers.GetAcctName("account{a}.oeaccount");
    if (Snapshot(fake.files) != before) Fail("a reader changed a file");
  }

  AccountRequest request{address, "Jane Doe", make_default, overwrite, true, machine.log.log()};
  const ConfigStatus status = WindowsMailConfigurator(fake.platform, request).Configure();
  if (status != status::kSuccess && Snapshot(fake.files) != before) Fail("a failed run changed a file");
  if (!LeavesNoTemporaryFile(fake.files)) Fail("a temporary file was left");
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
