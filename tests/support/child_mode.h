// A test program can be started again as a child process of its own tests: a
// test runs the program with "--child=<name>", and main runs the function
// registered under that name instead of the tests. The function's result is
// the child's exit code. Tests of processes, locks and waiting need such a
// second process that does one known thing.
#pragma once

#include <optional>
#include <string>

namespace quillbank::testing {

using ChildMain = int (*)();

// Registers a child under `name`; meant for a namespace-scope initialiser in
// the test file that starts it:
//   [[maybe_unused]] const bool kSleeper = RegisterChild("sleeper", &Sleep);
bool RegisterChild(const std::string& name, ChildMain main);

// The argument that starts the child `name`.
[[nodiscard]] std::string ChildArgument(const std::string& name);

// When the command line asks for a child, runs it and returns its exit code
// (2 for a name nobody registered); nullopt for an ordinary test run.
[[nodiscard]] std::optional<int> RunChildIfAsked(int argc, char** argv);

}  // namespace quillbank::testing
