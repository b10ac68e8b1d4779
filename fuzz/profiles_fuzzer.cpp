// profiles.ini as any Thunderbird or hand may leave it: the run must not
// crash, must never rewrite the list, and may write only inside the
// Thunderbird folder or an absolute profile folder the list names.
#include <cctype>

#include "clients/thunderbird/thunderbird_client.h"
#include "clients/thunderbird/thunderbird_configurator.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void Run(FuzzedDataProvider& input) {
  FuzzMachine machine;
  testing::FakePlatform& fake = machine.fake;
  const std::string folder = std::string(kAppData) + "\\Thunderbird";
  for (const char* profile : {"\\Profiles\\a.default", "\\b.default-release", "\\c"}) {
    fake.files.Put(folder + profile + "\\prefs.js", "");
  }
  fake.files.Put("D:\\Mail\\tb\\prefs.js", "");
  const std::string list = input.ConsumeRemainingBytesAsString();
  fake.files.Put(folder + "\\profiles.ini", list);
  const auto before = Snapshot(fake.files);
  std::string lower_list = list;
  for (char& c : lower_list) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  AccountRequest request{"jane@example.com", "Jane Doe", false, false, true, machine.log.log()};
  const ConfigStatus status = ThunderbirdConfigurator(fake.platform, request, ThunderbirdClient().site(SystemKind::MachineFolder)).Configure();
  if (fake.files.ReadFile(folder + "\\profiles.ini") != list) Fail("profiles.ini was rewritten");
  const auto after = Snapshot(fake.files);
  if (status != status::kSuccess && after != before) Fail("a failed run changed a file");
  for (const auto& [path, bytes] : after) {
    bool was = false;
    for (const auto& [old_path, old_bytes] : before) was = was || (old_path == path && old_bytes == bytes);
    if (was) continue;
    if (path.find("\\..\\") != std::string::npos || path.find("/../") != std::string::npos) {
      Fail("a path with a step out was written");
    }
    // An absolute profile the list names (IsRelative=0, a folder that
    // exists) is where Thunderbird reads prefs.js, so it may be written.
    const bool absolute_profile = path.size() > 2 && path[1] == ':' && EndsWith(path, "\\prefs.js") &&
                                  lower_list.find("isrelative") != std::string::npos;
    if (!StartsWith(path, folder + "\\") && !absolute_profile) {
      std::fprintf(stderr, "written: %s\n", path.c_str());
      Fail("a file outside was written");
    }
  }
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
