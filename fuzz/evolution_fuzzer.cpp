// A source file of Evolution's as a user or another program may leave it:
// whatever it holds, the readers and a run must not crash, no other source
// changes, a failed run changes nothing, a run that resets the source keeps
// every line that sets none of its keys, and after a successful run an
// identity reads back the name it was given.
#include <string>

#include "clients/evolution/evolution_configurator.h"
#include "clients/evolution/evolution_key_file.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

constexpr const char* kSources = "/home/jane/.config/evolution/sources";
constexpr const char* kOther = "/home/jane/.config/evolution/sources/other.source";
constexpr const char* kOtherText = "[Data Source]\nDisplayName=Other\n";

// The lines a reset of the identity may rewrite: its keys, in any group.
bool SetsNoKeyOfOurs(std::string_view line) {
  for (const char* key : {"DisplayName", "Enabled", "Parent", "Address", "Name", "TransportUid",
                          "BackendName", "IdentityUid", "Host", "Port", "User", "Method",
                          "KeepOnServer"}) {
    if (line.find(key) != std::string_view::npos) return false;
  }
  return true;
}

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  testing::FakePlatform& fake = machine.fake;
  fake.user.BecomeHome();
  const bool overwrite = input.ConsumeBool();
  const bool automatic = input.ConsumeBool();
  const std::string name = input.ConsumeRandomLengthString(40);
  const std::string before = input.ConsumeRemainingBytesAsString();
  const std::string path = std::string(kSources) + "/ide.source";
  fake.files.Put(path, before);
  fake.files.Put(kOther, kOtherText);

  // The key file itself: a value set is the value read, whatever surrounds it.
  evolution::KeyFile file(before);
  file.Set("Mail Identity", "Name", name);
  if (evolution::KeyFile(file.Text()).Get("Mail Identity", "Name") != name) {
    Fail("a value did not read back as it was set");
  }

  Platform platform{fake.registry, fake.files, fake.environment, fake.processes, fake.clock,
                    fake.uuids,    Utf8(),     fake.user,        nullptr,        &fake.run_lock};
  AccountRequest request{"jane@example.com", name, false, overwrite, true, machine.log.log(),
                         automatic, "Tess-"};
  EvolutionConfigurator configurator(platform, request);
  const std::optional<std::string> key = configurator.GetDefAcct();
  (void)configurator.GetAcctAddr(key);
  (void)configurator.GetAcctName(configurator.FindAcctByAddr("@"));
  if (fake.files.ReadFile(path) != before) Fail("a reader changed a source");
  const ConfigStatus status = configurator.Configure();
  const std::string after = fake.files.ReadFile(path).value_or("");
  if (fake.files.ReadFile(kOther) != std::string(kOtherText)) Fail("another source changed");
  if (status != status::kSuccess && after != before) Fail("a failed run changed a source");
  if (!LeavesNoTemporaryFile(fake.files)) Fail("a temporary file was left");
  if (status != status::kSuccess) return;
  if (after != before) ExpectKept(before, after, SetsNoKeyOfOurs);
  // The account's identity, reset or new, holds the name as it was given
  // (text that is not UTF-8 as the home's code page turns it into UTF-8;
  // the command line refuses such text before any store is read).
  const std::string written = NarrowToUtf8(Utf8(), name);
  bool named = false;
  for (const std::string& file : fake.files.ListFolder(std::string(kSources) + "/*.source")) {
    const evolution::KeyFile read(fake.files.ReadFile(std::string(kSources) + "/" + file).value_or(""));
    named = named || (read.Get("Mail Identity", "Address") == std::string("jane@example.com") &&
                      read.Get("Mail Identity", "Name") == written);
  }
  if (!named) Fail("no identity holds the name");
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
