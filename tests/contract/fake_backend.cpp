// The in-memory fakes as a contract backend. Their machine lives as long as
// the test, so nothing needs removing afterwards.
#include "tests/contract/backend.h"
#include "tests/support/fake_platform.h"

namespace quillbank::testing {
namespace {

class InMemoryBackend final : public Backend {
 public:
  InMemoryBackend() { fake_.files.MakeFolders(kFolder); }

  Registry& registry() override { return fake_.registry; }
  Files& files() override { return fake_.files; }
  Environment& environment() override { return fake_.environment; }
  Processes& processes() override { return fake_.processes; }
  UserSpace& user() override { return fake_.user; }
  RunLock& run_lock() override { return fake_.run_lock; }

  std::string key() const override { return "Software\\QuillbankContract"; }
  std::string folder() const override { return kFolder; }

  // There is one registry in memory, and every run shares it.
  Registry& NextRunRegistry() override { return fake_.registry; }
  std::shared_ptr<RunLock> OtherRunLock() override { return fake_.run_lock.AnotherHolder(); }

  void SetVariable(const std::string& name, const std::optional<std::string>& value) override {
    if (value) {
      fake_.environment.Set(name, *value);
    } else {
      fake_.environment.Unset(name);
    }
  }
  void MarkReadOnly(const std::string& path) override { fake_.files.MarkReadOnly(path); }
  bool MakeSymbolicLink(const std::string&, const std::string&) override { return false; }
  bool IsSymbolicLink(const std::string&) override { return false; }
  // The fake lists what a test puts there.
  std::optional<ProcessEntry> OwnProcess() override { return std::nullopt; }

 private:
  static constexpr const char* kFolder = "C:\\Contract";
  FakePlatform fake_;
};

}  // namespace

BackendKind FakeBackend() {
  return {"Fakes", [] { return std::unique_ptr<Backend>(new InMemoryBackend()); }};
}

}  // namespace quillbank::testing
