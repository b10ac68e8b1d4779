#include "tests/support/machine_fixture.h"

#include <stdlib.h>

#include <optional>
#include <system_error>

#include "tests/support/host_file.h"

namespace quillbank::testing {

namespace fs = std::filesystem;

fs::path MakeTemporaryFolder(const std::string& kind) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillbank-" + kind + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

TemporaryFolder::~TemporaryFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteMachineFolder(const fs::path& machine, const std::string& system_keys,
                        const std::string& user_keys) {
  fs::create_directories(JaneFolder(machine) / "AppData" / "Roaming");
  WriteHostFile(machine / "system.reg", std::string(kSystemHiveHeader) + "\n" + system_keys);
  WriteHostFile(machine / "user.reg", std::string(kUserHiveHeader) + "\n" + user_keys);
}

SystemOpenResult OpenMachine(const fs::path& machine) {
  const char* before = getenv("QUILLBANK_MACHINE");
  const std::optional<std::string> kept = before ? std::optional<std::string>(before) : std::nullopt;
  setenv("QUILLBANK_MACHINE", machine.c_str(), 1);
  SystemOpenResult opened = OpenSystem(SystemChoice::Default);
  if (kept) {
    setenv("QUILLBANK_MACHINE", kept->c_str(), 1);
  } else {
    unsetenv("QUILLBANK_MACHINE");
  }
  return opened;
}

}  // namespace quillbank::testing
