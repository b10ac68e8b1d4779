// A whole machine in memory for unit tests: registry, files, environment,
// process list, a clock that stands still and predictable UUIDs. Any member
// can be set up directly before the code under test runs.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/account_request.h"
#include "env/platform/platform.h"
#include "env/platform/system.h"
#include "tests/support/fake_user_space.h"
#include "env/platform/registry_tree.h"
#include "env/run_log.h"
#include "tests/support/log_text.h"
#include "tests/support/memory_files.h"

namespace quillbank::testing {

// A system whose services the test owns: the program opens it and borrows
// the platform.
class BorrowedSystem final : public SystemServices {
 public:
  explicit BorrowedSystem(Platform& platform) : platform_(platform) {}
  Platform& platform() override { return platform_; }

 private:
  Platform& platform_;
};

class FakeEnvironment final : public Environment {
 public:
  std::optional<std::string> Get(std::string_view name) override;
  void Set(const std::string& name, const std::string& value);
  void Unset(const std::string& name);

 private:
  std::map<std::string, std::string> values_;  // keyed by upper-cased name
};

class FakeProcesses final : public Processes {
 public:
  std::vector<ProcessEntry> List() override { return running; }
  bool Terminate(std::uint32_t id) override;
  bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) override;
  bool Start(const std::string& command_line) override;

  std::vector<ProcessEntry> running;
  std::vector<std::uint32_t> terminated;
  std::vector<std::uint32_t> waited_for;
  std::vector<std::string> started;
  bool start_succeeds = true;
};

class FixedClock final : public Clock {
 public:
  LocalTime Now() override { return now; }
  LocalTime now{2009, 12, 8, 14, 3, 22};  // "14:03:22 on 12/08/09"
};

// UUIDs 00000000-0000-4000-8000-000000000001, ...-000000000002, ...
class SequenceUuids final : public UuidSource {
 public:
  std::string NewUuid() override;

 private:
  int next_ = 1;
};

// Grants the run lock unless a test says otherwise, and counts what was asked.
// The locks AnotherHolder() makes stand for other runs on the same machine:
// while one of them holds the lock, the others wait for it and may time out.
class FakeRunLock final : public RunLock {
 public:
  FakeRunLock();
  bool Acquire(std::uint32_t timeout_ms) override;
  void Release() override;
  // Another run's lock on the same machine.
  [[nodiscard]] std::unique_ptr<FakeRunLock> AnotherHolder() const;

  bool grants = true;
  bool held = false;
  std::uint32_t waited_ms = 0;

 private:
  struct Machine;  // which holder has the lock, shared by all of them
  explicit FakeRunLock(std::shared_ptr<Machine> machine);

  std::shared_ptr<Machine> machine_;
};

// A desktop settings store in memory. Like dconf, it takes a change it
// cannot save without saying so: without a bus, or when `drops` is set.
class FakeDesktopSettings final : public DesktopSettings {
 public:
  bool CanSave() override { return bus; }
  std::optional<std::string> Get(const SettingKey& key) override {
    const auto found = values.find(key.schema + " " + key.key);
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
  bool Set(const SettingKey& key, const std::string& value) override {
    if (refused.count(key.key) > 0) return false;
    if (bus && !drops) values[key.schema + " " + key.key] = value;
    return true;
  }

  bool bus = true;
  bool drops = false;
  std::set<std::string> refused;              // keys whose change is refused
  std::map<std::string, std::string> values;  // by "<schema> <key>"; none: unreadable
};

struct FakePlatform {
  MemoryRegistry registry;
  MemoryFiles files;
  FakeEnvironment environment;
  FakeProcesses processes;
  FixedClock clock;
  SequenceUuids uuids;
  FakeRunLock run_lock;
  FakeUserSpace user;
  FakeDesktopSettings settings;
  Platform platform{registry, files,    environment, processes, clock, uuids, Windows1252(), user,
                    nullptr,  &run_lock, &settings};

  // Test set-up shorthands: create the key (and every key above it) and set
  // one value.
  void SetText(RegRoot root, const std::string& path, const std::string& name,
               const std::string& text);
  void SetDword(RegRoot root, const std::string& path, const std::string& name, std::uint32_t n);
  void SetBinary(RegRoot root, const std::string& path, const std::string& name,
                 const std::vector<std::uint8_t>& data);
  void CreateKey(RegRoot root, const std::string& path);
  // Gives the user an application data folder: the APPDATA value of HKCU
  // "Volatile Environment", where the session looks first, and the folder.
  void MakeAppData(const std::string& folder);
  // Reads back; nullopt when the key or value is missing.
  [[nodiscard]] std::optional<RegValue> Value(RegRoot root, const std::string& path,
                                              const std::string& name);
  [[nodiscard]] std::optional<std::string> Text(RegRoot root, const std::string& path,
                                                const std::string& name);
  [[nodiscard]] std::optional<std::uint32_t> Dword(RegRoot root, const std::string& path,
                                                   const std::string& name);
  // Names of the subkeys of a key, in enumeration order.
  [[nodiscard]] std::vector<std::string> Subkeys(RegRoot root, const std::string& path);
};

// `request` as the automatic mode makes it: the copy named by `prefix`
// followed by the address.
inline AccountRequest AutomaticRequest(AccountRequest request, std::string prefix) {
  request.automatic = true;
  request.prefix = std::move(prefix);
  return request;
}

// A RunLog that writes into memory, for tests that read what was logged.
class CapturedLog {
 public:
  CapturedLog();
  RunLog& log() { return log_; }
  // Everything logged so far, line ends included, and an unfinished line.
  [[nodiscard]] std::string text() const { return *text_ + std::string(log_.UnfinishedLine()); }
  // The lines written so far, split at "\r\n".
  [[nodiscard]] std::vector<std::string> Lines() const;

 private:
  std::shared_ptr<std::string> text_;
  RunLog log_;
};

}  // namespace quillbank::testing
