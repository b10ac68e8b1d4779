#include "tests/support/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "env/registry_access.h"

namespace quillbank::testing {
namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

class StringAppendFile final : public AppendFile {
 public:
  explicit StringAppendFile(std::shared_ptr<std::string> text) : text_(std::move(text)) {}
  bool Append(std::string_view bytes) override {
    text_->append(bytes);
    return true;
  }
  bool Close() override { return true; }

 private:
  std::shared_ptr<std::string> text_;
};

}  // namespace

std::optional<std::string> FakeEnvironment::Get(std::string_view name) {
  const auto it = values_.find(Upper(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void FakeEnvironment::Set(const std::string& name, const std::string& value) {
  values_[Upper(name)] = value;
}

void FakeEnvironment::Unset(const std::string& name) { values_.erase(Upper(name)); }

bool FakeProcesses::Terminate(std::uint32_t id) {
  terminated.push_back(id);
  const auto ended = std::remove_if(running.begin(), running.end(),
                                    [id](const ProcessEntry& p) { return p.id == id; });
  // Like TerminateProcess, fails for an id no process has.
  const bool found = ended != running.end();
  running.erase(ended, running.end());
  return found;
}

bool FakeProcesses::WaitForExit(std::uint32_t id, std::uint32_t) {
  waited_for.push_back(id);
  return std::none_of(running.begin(), running.end(),
                      [id](const ProcessEntry& p) { return p.id == id; });
}

bool FakeProcesses::Start(const std::string& command_line) {
  started.push_back(command_line);
  return start_succeeds;
}

struct FakeRunLock::Machine {
  std::mutex mutex;
  std::condition_variable released;
  const FakeRunLock* holder = nullptr;
};

FakeRunLock::FakeRunLock() : FakeRunLock(std::make_shared<Machine>()) {}

FakeRunLock::FakeRunLock(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}

std::unique_ptr<FakeRunLock> FakeRunLock::AnotherHolder() const {
  return std::unique_ptr<FakeRunLock>(new FakeRunLock(machine_));
}

bool FakeRunLock::Acquire(std::uint32_t timeout_ms) {
  waited_ms = timeout_ms;
  held = false;
  if (!grants) return false;
  std::unique_lock<std::mutex> lock(machine_->mutex);
  held = machine_->released.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] {
    return machine_->holder == nullptr || machine_->holder == this;
  });
  if (held) machine_->holder = this;
  return held;
}

void FakeRunLock::Release() {
  {
    const std::lock_guard<std::mutex> lock(machine_->mutex);
    if (machine_->holder == this) machine_->holder = nullptr;
  }
  machine_->released.notify_all();
  held = false;
}

std::string SequenceUuids::NewUuid() {
  char text[40];
  std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", next_++);
  return text;
}

void FakePlatform::CreateKey(RegRoot root, const std::string& path) {
  std::unique_ptr<RegistryKey> key;
  (void)registry.Create(root, path, key);
}

void FakePlatform::MakeAppData(const std::string& folder) {
  SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", folder);
  files.MakeFolders(folder);
}

void FakePlatform::SetText(RegRoot root, const std::string& path, const std::string& name,
                           const std::string& text) {
  std::unique_ptr<RegistryKey> key;
  (void)registry.Create(root, path, key);
  quillbank::SetText(*key, name, text);
}

void FakePlatform::SetDword(RegRoot root, const std::string& path, const std::string& name,
                            std::uint32_t n) {
  std::unique_ptr<RegistryKey> key;
  (void)registry.Create(root, path, key);
  quillbank::SetDword(*key, name, n);
}

void FakePlatform::SetBinary(RegRoot root, const std::string& path, const std::string& name,
                             const std::vector<std::uint8_t>& data) {
  std::unique_ptr<RegistryKey> key;
  (void)registry.Create(root, path, key);
  quillbank::SetBinary(*key, name, data);
}

std::optional<RegValue> FakePlatform::Value(RegRoot root, const std::string& path,
                                            const std::string& name) {
  std::unique_ptr<RegistryKey> key;
  RegValue value;
  if (registry.Open(root, path, RegAccess::Read, key) != win32_error::kSuccess ||
      key->QueryValue(name, 1 << 20, value) != win32_error::kSuccess) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> FakePlatform::Text(RegRoot root, const std::string& path,
                                              const std::string& name) {
  auto value = Value(root, path, name);
  if (!value) return std::nullopt;
  return TextOf(*value);
}

std::optional<std::uint32_t> FakePlatform::Dword(RegRoot root, const std::string& path,
                                                 const std::string& name) {
  auto value = Value(root, path, name);
  if (!value) return std::nullopt;
  return DwordOf(*value);
}

std::vector<std::string> FakePlatform::Subkeys(RegRoot root, const std::string& path) {
  std::vector<std::string> names;
  if (RegistryNode* node = registry.Find(root, path)) {
    for (const auto& [key, child] : node->subkeys) names.push_back(Utf16ToUtf8(child->name));
  }
  return names;
}

CapturedLog::CapturedLog() : text_(std::make_shared<std::string>()) {
  log_.Open(std::make_unique<StringAppendFile>(text_));
}

std::vector<std::string> CapturedLog::Lines() const { return LinesOf(text()); }

}  // namespace quillbank::testing
