// The smaller services every backend gives the program, the user's home's
// too: the environment, the process list, and the run lock that keeps runs
// on one machine apart.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tests/contract/backend.h"

namespace quillbank::testing {
namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

class EnvironmentContract : public ContractTest {};

TEST_P(EnvironmentContract, VariablesAreFoundWithoutRegardToCase) {
  struct Case {
    const char* name;
    std::optional<std::string> value;  // nullopt: not set
    const char* asked_as;
  };
  const Case cases[] = {
      {"QUILLBANK_CONTRACT_PROFILE", "C:\\Users\\jane", "quillbank_contract_profile"},
      {"Quillbank_Contract_Long", std::string(5000, 'v'), "QUILLBANK_CONTRACT_LONG"},
      {"QUILLBANK_CONTRACT_EMPTY", "", "QUILLBANK_CONTRACT_EMPTY"},
      {"QUILLBANK_CONTRACT_UNSET", std::nullopt, "QUILLBANK_CONTRACT_UNSET"},
  };
  for (const Case& c : cases) {
    backend_->SetVariable(c.name, c.value);
    EXPECT_EQ(backend_->environment().Get(c.asked_as), c.value) << c.name;
  }
  for (const Case& c : cases) backend_->SetVariable(c.name, std::nullopt);
  EXPECT_EQ(backend_->environment().Get("QUILLBANK_CONTRACT_PROFILE"), std::nullopt);
}

class ProcessesContract : public ContractTest {};

TEST_P(ProcessesContract, TheListHoldsThisProgram) {
  const std::optional<ProcessEntry> own = backend_->OwnProcess();
  if (!own) GTEST_SKIP() << "the list holds what a test puts there";
  int found = 0;
  for (const ProcessEntry& entry : backend_->processes().List()) {
    if (entry.id != own->id) continue;
    ++found;
    EXPECT_EQ(entry.executable, own->executable);
  }
  EXPECT_EQ(found, 1);
}

TEST_P(ProcessesContract, AnIdNoProcessHasCannotBeEndedAndIsNotWaitedFor) {
  for (const std::uint32_t id : {0u, 0xFFFFFFF0u}) {
    EXPECT_FALSE(backend_->processes().Terminate(id)) << id;
    const Steady::time_point started = Steady::now();
    EXPECT_TRUE(backend_->processes().WaitForExit(id, 10000)) << id;
    EXPECT_LT(Steady::now() - started, milliseconds(5000)) << id;
  }
}

// A second run's hold on the lock, taken and let go on a thread of its own:
// on Windows the lock belongs to the thread that took it.
class OtherRun final {
 public:
  explicit OtherRun(std::shared_ptr<RunLock> lock) : lock_(std::move(lock)) {
    thread_ = std::thread([this] { Serve(); });
  }
  ~OtherRun() {
    Do(Request::Stop, 0);
    thread_.join();
  }
  // Acquire on the other run's thread: whether it got the lock, and how long
  // it waited.
  bool Acquire(std::uint32_t timeout_ms, Steady::duration& waited) {
    const Steady::time_point started = Steady::now();
    const bool got = Do(Request::Acquire, timeout_ms);
    waited = Steady::now() - started;
    return got;
  }
  void Release() { Do(Request::Release, 0); }

 private:
  enum class Request { None, Acquire, Release, Stop };

  bool Do(Request request, std::uint32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    request_ = request;
    timeout_ms_ = timeout_ms;
    changed_.notify_all();
    changed_.wait(lock, [this] { return request_ == Request::None; });
    return result_;
  }
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return request_ != Request::None; });
      const Request request = request_;
      if (request == Request::Acquire) result_ = lock_->Acquire(timeout_ms_);
      if (request == Request::Release || request == Request::Stop) lock_->Release();
      request_ = Request::None;
      changed_.notify_all();
      if (request == Request::Stop) return;
    }
  }

  std::shared_ptr<RunLock> lock_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Request request_ = Request::None;
  std::uint32_t timeout_ms_ = 0;
  bool result_ = false;
  std::thread thread_;
};

class RunLockContract : public ContractTest {};

TEST_P(RunLockContract, OneRunAtATimeHoldsTheLockAndAReleaseLetsTheNextIn) {
  RunLock& lock = backend_->run_lock();
  OtherRun other(backend_->OtherRunLock());
  ASSERT_TRUE(lock.Acquire(1000));
  EXPECT_TRUE(lock.Acquire(0));  // held already

  Steady::duration waited{};
  EXPECT_FALSE(other.Acquire(300, waited));
  EXPECT_GE(waited, milliseconds(250));  // it waited, then gave up

  lock.Release();
  EXPECT_TRUE(other.Acquire(5000, waited));
  EXPECT_FALSE(lock.Acquire(100));
  other.Release();
  EXPECT_TRUE(lock.Acquire(5000));
  lock.Release();
  lock.Release();  // letting go of a lock not held changes nothing
  EXPECT_TRUE(other.Acquire(1000, waited));
}

class UserSpaceContract : public ContractTest {};

// Paths joined with the system's separator reach the files the files
// service made; nothing the test made is locked by another process, a link,
// or a live process of someone else's, whatever the system can tell.
TEST_P(UserSpaceContract, PathsJoinAndAPlainFileIsNeitherLockedNorALink) {
  UserSpace& user = backend_->user();
  const std::string file = backend_->folder() + user.PathSeparator() + "plain.txt";
  ASSERT_EQ(backend_->files().ReplaceContents(file, "text"), FileWrite::Written);
  EXPECT_TRUE(backend_->files().FileExists(file));
  EXPECT_FALSE(user.LockedByOtherProcess(file));
  EXPECT_FALSE(user.ReadLink(file).is_link);
  EXPECT_FALSE(user.ReadLink(file + ".missing").is_link);
  EXPECT_EQ(user.ModifiedTime(file + ".missing"), std::nullopt);
  EXPECT_FALSE(user.OnPath("quillbank-no-such-program"));
  if (const std::optional<ProcessEntry> own = backend_->OwnProcess()) {
    // The home tells both; a Windows machine's user space tells neither.
    EXPECT_EQ(user.ProcessAlive(own->id), user.ModifiedTime(file).has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, UserSpaceContract, ::testing::ValuesIn(ServiceBackends()),
                         BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, EnvironmentContract, ::testing::ValuesIn(ServiceBackends()),
                         BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, ProcessesContract, ::testing::ValuesIn(ServiceBackends()),
                         BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, RunLockContract, ::testing::ValuesIn(ServiceBackends()),
                         BackendName);

}  // namespace
}  // namespace quillbank::testing
