// Eudora.ini as Eudora or a user may leave it: no crash, a failed run leaves
// the file as it was, and a successful one keeps the sections of others and
// every comment line. In the automatic mode the readers change nothing, and
// the account copied from reads the same afterwards.
#include "clients/eudora/eudora_configurator.h"
#include "core/ascii_text.h"
#include "fuzz/fuzz_support.h"

#include <optional>
#include <string>
#include <utility>

namespace quillbank::fuzz {
namespace {

constexpr const char* kIni = "C:\\Users\\jane\\AppData\\Roaming\\Qualcomm\\Eudora\\Eudora.ini";

// The address and name of the account `key` names, as a fresh reader sees
// them.
std::pair<std::optional<std::string>, std::optional<std::string>> ReadAccount(
    testing::FakePlatform& fake, RunLog& log, const std::optional<std::string>& key) {
  EudoraConfigurator reader(fake.platform, AccountRequest{"", "", false, false, true, log});
  return {reader.GetAcctAddr(key), reader.GetAcctName(key)};
}

void RunAutomatic(FuzzMachine& machine, bool overwrite, const std::string& search,
                  const std::string& before) {
  testing::FakePlatform& fake = machine.fake;
  RunLog& log = machine.log.log();
  EudoraConfigurator reader(fake.platform, AccountRequest{"", "", false, overwrite, true, log});
  const std::optional<std::string> key =
      search.empty() ? reader.GetDefAcct() : reader.FindAcctByAddr(search);
  const std::optional<std::string> address = reader.GetAcctAddr(key);
  const std::optional<std::string> name = reader.GetAcctName(key);
  if (fake.files.replacements() != 0 || fake.files.ReadFile(kIni) != before) {
    Fail("a reader changed Eudora.ini");
  }
  if (!address) return;
  const std::string prefix = "Tess ";
  EudoraConfigurator configurator(
      fake.platform, testing::AutomaticRequest(
                         AccountRequest{*address, name.value_or(""), false, overwrite, true, log}, prefix));
  const ConfigStatus status = configurator.Configure();
  const std::string after = fake.files.ReadFile(kIni).value_or("");
  if (status != status::kSuccess && after != before) Fail("a failed run changed Eudora.ini");
  if (!LeavesNoTemporaryFile(fake.files)) Fail("a temporary file was left");
  // The copy's own section aside, the account copied from is never written.
  if (status == status::kSuccess && !EqualsIgnoringCase(*key, "Persona-" + prefix + *address) &&
      ReadAccount(fake, log, key) != std::make_pair(address, name)) {
    Fail("the account copied from changed");
  }
}

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  if (input.ConsumeBool()) {
    const bool overwrite = input.ConsumeBool();
    const std::string search = input.ConsumeBool() ? "" : input.ConsumeBytesAsString(2);
    const std::string before = input.ConsumeRemainingBytesAsString();
    machine.fake.files.Put(kIni, before);
    RunAutomatic(machine, overwrite, search, before);
    return;
  }
  testing::FakePlatform& fake = machine.fake;
  const bool overwrite = input.ConsumeBool();
  const bool use_ssl = input.ConsumeBool();
  const std::string address = input.ConsumeBool() ? "jane@example.com" : "a@b";
  const std::string before = input.ConsumeRemainingBytesAsString();
  fake.files.Put(kIni, before);

  const ConfigStatus status =
      EudoraConfigurator(fake.platform, AccountRequest{address, "Jane Doe", false, overwrite, use_ssl,
                                                       machine.log.log()})
          .Configure();
  const std::string after = fake.files.ReadFile(kIni).value_or("");
  if (status != status::kSuccess && after != before) Fail("a failed run changed Eudora.ini");
  if (!LeavesNoTemporaryFile(fake.files)) Fail("a temporary file was left");
  // Eudora's own sections are matched by their text, so only the headers of
  // other sections and comment lines are surely none of the run's business.
  const auto other_section_or_comment = [](std::string_view line) {
    if (!line.empty() && line.front() == ';') return true;
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    for (const std::string_view own : {"Settings", "Personalities", "Persona"}) {
      if (line.find(own) != std::string_view::npos) return false;
    }
    return true;
  };
  if (status == status::kSuccess) ExpectKept(before, after, other_section_or_comment);
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
