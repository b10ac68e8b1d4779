// What the fuzz targets share: an in-memory machine with the user's folders,
// and the checks every rewrite must pass whatever file it was given.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "tests/support/fake_platform.h"

namespace quillbank::fuzz {

inline constexpr const char* kAppData = "C:\\Users\\jane\\AppData\\Roaming";

// Stops the fuzzer with a message; libFuzzer keeps the input that did it.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The lines of a text split at CR LF, LF or CR.
inline std::vector<std::string_view> AnyLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

// The first line of `before` that `unrelated` picks and that is no longer in
// `after` in the same order; nullopt when every such line is kept.
inline std::optional<std::string> FirstLineNotKept(
    std::string_view before, std::string_view after,
    const std::function<bool(std::string_view)>& unrelated) {
  const std::vector<std::string_view> old_lines = AnyLines(before);
  const std::vector<std::string_view> new_lines = AnyLines(after);
  std::size_t at = 0;
  for (const std::string_view line : old_lines) {
    if (!unrelated(line)) continue;
    while (at < new_lines.size() && new_lines[at] != line) ++at;
    if (at == new_lines.size()) return std::string(line);
    ++at;
  }
  return std::nullopt;
}

// Stops the fuzzer when a line `unrelated` picks was lost or moved.
inline void ExpectKept(std::string_view before, std::string_view after,
                       const std::function<bool(std::string_view)>& unrelated) {
  if (const std::optional<std::string> lost = FirstLineNotKept(before, after, unrelated)) {
    std::fprintf(stderr, "line lost or moved: [%s]\n--- before\n", lost->c_str());
    std::fwrite(before.data(), 1, before.size(), stderr);
    std::fprintf(stderr, "\n--- after\n");
    std::fwrite(after.data(), 1, after.size(), stderr);
    std::fprintf(stderr, "\n");
    Fail("a line the run does not own was lost or moved");
  }
}

// No temporary file of a rewrite is left behind.
inline bool LeavesNoTemporaryFile(testing::MemoryFiles& files) {
  for (const std::string& path : files.AllFiles()) {
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".tmp") == 0) return false;
    if (path.find("quillbank-tmp") != std::string::npos) return false;
  }
  return true;
}

// Every file with its content, to tell what a run changed.
inline std::vector<std::pair<std::string, std::string>> Snapshot(testing::MemoryFiles& files) {
  std::vector<std::pair<std::string, std::string>> all;
  for (const std::string& path : files.AllFiles()) all.emplace_back(path, *files.ReadFile(path));
  return all;
}

// The user jane on an in-memory machine, her application data folder known.
struct FuzzMachine {
  FuzzMachine() { fake.SetText(RegRoot::CurrentUser, "Volatile Environment", "APPDATA", kAppData); }
  testing::FakePlatform fake;
  testing::CapturedLog log;
};

}  // namespace quillbank::fuzz

// The entry point libFuzzer calls, handing the input to `run`.
#define QUILLBANK_FUZZ_TARGET(run)                                                     \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    FuzzedDataProvider input(data, size);                                              \
    run(input);                                                                        \
    return 0;                                                                          \
  }
