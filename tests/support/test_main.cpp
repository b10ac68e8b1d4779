// The main of every test program. Started with "--child=<name>" it is one of
// its own tests' child processes instead (see child_mode.h), and GoogleTest
// never runs.
#include <gtest/gtest.h>

#include "tests/support/child_mode.h"

int main(int argc, char** argv) {
  if (const std::optional<int> code = quillbank::testing::RunChildIfAsked(argc, argv)) return *code;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
