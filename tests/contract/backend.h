// One backend of the platform seam, made ready for one contract test: its
// services, a registry key and a folder of the test's own, and the few
// set-up steps the seam itself has no call for. The contract tests run the
// same cases against every backend this build has, so that the in-memory
// fakes, the machine folder and Windows cannot drift apart unseen.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "env/platform/platform.h"

namespace quillbank::testing {

class Backend {
 public:
  virtual ~Backend() = default;

  [[nodiscard]] virtual Registry& registry() = 0;
  [[nodiscard]] virtual Files& files() = 0;
  [[nodiscard]] virtual Environment& environment() = 0;
  [[nodiscard]] virtual Processes& processes() = 0;
  [[nodiscard]] virtual RunLock& run_lock() = 0;
  [[nodiscard]] virtual UserSpace& user() = 0;

  // A key below HKEY_CURRENT_USER for the test's keys; it does not exist yet,
  // and it is removed with everything below it afterwards.
  [[nodiscard]] virtual std::string key() const = 0;
  // An empty folder (a Windows path) for the test's files, removed afterwards.
  [[nodiscard]] virtual std::string folder() const = 0;

  // The registry as the next run of the program sees it.
  [[nodiscard]] virtual Registry& NextRunRegistry() = 0;
  // Another run's hold on this machine's run lock.
  [[nodiscard]] virtual std::shared_ptr<RunLock> OtherRunLock() = 0;

  // Sets a Windows environment variable, or removes it (nullopt), where the
  // backend's environment comes from.
  virtual void SetVariable(const std::string& name, const std::optional<std::string>& value) = 0;
  // Marks an existing file read-only, as a user would.
  virtual void MarkReadOnly(const std::string& path) = 0;
  // Makes `link` a symbolic link to the file `target`; false where the
  // backend has no symbolic links.
  virtual bool MakeSymbolicLink(const std::string& link, const std::string& target) = 0;
  [[nodiscard]] virtual bool IsSymbolicLink(const std::string& path) = 0;
  // This test program as the process list names it; nullopt where the list
  // is not the system's own.
  [[nodiscard]] virtual std::optional<ProcessEntry> OwnProcess() = 0;
};

struct BackendKind {
  const char* name;  // shown in the test names
  std::unique_ptr<Backend> (*make)();
};
inline void PrintTo(const BackendKind& kind, std::ostream* out) { *out << kind.name; }

// The in-memory fakes the unit tests use.
[[nodiscard]] BackendKind FakeBackend();
// The system backend of this build: the machine folder (a new temporary
// folder for each test) natively, the Win32 services in the Windows build.
[[nodiscard]] BackendKind SystemBackend();

// The base of every contract test: the backend of the test's parameter, made
// anew for each test.
class ContractTest : public ::testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override { backend_ = GetParam().make(); }
  void TearDown() override { backend_.reset(); }

  std::unique_ptr<Backend> backend_;
};

#ifndef _WIN32
// The Linux user's home (a new temporary HOME for each test). Its files take
// host paths and its registry is empty, so only the suites of the services
// every system shares run on it.
[[nodiscard]] BackendKind HomeBackend();
#endif

// Every backend of this build that stands for a Windows machine, and the name
// a test gets for each: a suite is instantiated with
//   INSTANTIATE_TEST_SUITE_P(Backends, Suite, ValuesIn(Backends()), BackendName);
[[nodiscard]] std::vector<BackendKind> Backends();
// Those and the home: the backends whose environment, processes and run lock
// the suites of those services hold to.
[[nodiscard]] std::vector<BackendKind> ServiceBackends();
[[nodiscard]] std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info);

}  // namespace quillbank::testing
