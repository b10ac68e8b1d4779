// Eudora.ini as Eudora or a user may leave it: no crash, a failed run leaves
// the file as it was, and a successful one keeps the sections of others and
// every comment line.
#include "clients/files/eudora_configurator.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

constexpr const char* kIni = "C:\\Users\\jane\\AppData\\Roaming\\Qualcomm\\Eudora\\Eudora.ini";

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  testing::FakePlatform& fake = machine.fake;
  const bool overwrite = input.ConsumeBool();
  const bool use_ssl = input.ConsumeBool();
  const std::string address = input.ConsumeBool() ? "jane@example.com" : "a@b";
  const std::string before = input.ConsumeRemainingBytesAsString();
  fake.files.Put(kIni, before);

  const ConfigStatus status =
      EudoraConfigurator(fake.platform, address, "Jane Doe", overwrite, use_ssl, machine.log.log())
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
