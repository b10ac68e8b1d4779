#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/long_options.h"

namespace quillbank {
namespace {

TEST(OptionLookupTest, ValuesAsStartUpReadsThem) {
  struct Case {
    const char* text;
    const char* option;
    const char* expected;
  };
  const Case cases[] = {
      {"-n \"Jane Doe\" -a jane@example.com -c 4", "-n", "Jane Doe"},
      {"-n \"Jane Doe\" -a jane@example.com -c 4", "-a", "jane@example.com"},
      {"-n \"Jane Doe\" -a jane@example.com -c 4", "-c", "4"},
      // Two blanks before the next option: one stays, so the quote survives.
      {"-n \"Jane Doe\"  -a x@y.z -c 4", "-n", "Jane Doe\""},
      // An unquoted four-letter name loses its first and last letter.
      {"-n Jane -a x@y.z -c 4", "-n", "an"},
      // Characters, not bytes: UTF-8 sequences are dropped whole.
      {"-n \xC3\x9C" "ber\xE2\x82\xAC -a x@y.z -c 4", "-n", "ber"},
      {"-n \xE4\xB8\xAD\xE6\x96\x87 -a x@y.z -c 4", "-n", ""},
      {"-n \xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87 -a x@y.z -c 4", "-n", "\xE6\x96\x87"},
      {"-n \" -a x@y.z -c 4", "-n", ""},
      // " -" inside a quoted name ends the value early.
      {"-n \"Mary -Ann\" -a x@y.z -c 4", "-n", "Mar"},
      {"-c 4 -a x@y.z", "-n", "*NULL*"},
      // Written last without a value, an option is not found.
      {"-n \"J\" -a x@y.z -c", "-c", "*NULL*"},
      // The first of two values wins.
      {"-a first@x.y -a second@x.y", "-a", "first@x.y"},
      {"-auto -p \"Tess: \" -s \"@corp\"", "-s", "@corp"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OptionValue(c.text, c.option).value_or("*NULL*"), c.expected) << c.text << " / " << c.option;
  }
}

TEST(OptionLookupTest, FlagsMatchAnyWordStartingWithTheOption) {
  EXPECT_TRUE(HasOption("-d", "-d"));
  EXPECT_TRUE(HasOption("-n \"x -dave\" -a a@b.c", "-d"));
  EXPECT_TRUE(HasOption("-auto -p \"x\"", "-a"));  // "-auto" begins with "-a"
  EXPECT_FALSE(HasOption("x-d", "-d"));
  EXPECT_FALSE(HasOption("-n \"Jane\"", "-u"));
}

TEST(ReadCommandTextTest, CommandLineModeFillsTheRequestFields) {
  RunState state;
  ASSERT_EQ(ReadCommandText("-n \"Jane Doe\" -a jane@example.com -c 4 -d", state),
            StartMode::CommandLine);
  EXPECT_TRUE(state.command_line);
  EXPECT_FALSE(state.automatic);
  EXPECT_EQ(state.client_index, 4);
  EXPECT_EQ(state.address, "jane@example.com");
  EXPECT_EQ(state.display_name, "Jane Doe");
  EXPECT_TRUE(state.make_default);
  EXPECT_FALSE(state.overwrite_existing);
  EXPECT_TRUE(state.use_ssl);
  EXPECT_FALSE(state.close_running);
}

TEST(ReadCommandTextTest, TrailingBlanksAreRemovedAndBadNumbersGiveZero) {
  RunState state;
  ASSERT_EQ(ReadCommandText("-n \"J\" -a a@b.c -c 1   ", state), StartMode::CommandLine);
  EXPECT_EQ(state.client_index, 1);
  RunState other;
  ASSERT_EQ(ReadCommandText("-n \"J\" -a a@b.c -c x", other), StartMode::CommandLine);
  EXPECT_EQ(other.client_index, 0);
}

TEST(ReadCommandTextTest, MissingRequiredOptionsEndTheProgram) {
  RunState state;
  EXPECT_EQ(ReadCommandText("-n \"Jane\" -a jane@example.com", state), StartMode::MissingOption);
  EXPECT_EQ(ReadCommandText("-a jane@example.com -c 4", state), StartMode::MissingOption);
  EXPECT_EQ(ReadCommandText("-n \"Jane\" -c 4", state), StartMode::MissingOption);
  EXPECT_EQ(ReadCommandText("-auto -x", state), StartMode::MissingOption);
  EXPECT_EQ(ReadCommandText("-n \"J\" -a a@b.c -c", state), StartMode::MissingOption);
}

TEST(ReadCommandTextTest, AutomaticModeTakesPrefixSearchAndFlags) {
  RunState state;
  ASSERT_EQ(ReadCommandText("-auto -p \"Tess-\" -x -u", state), StartMode::Automatic);
  EXPECT_TRUE(state.automatic);
  EXPECT_TRUE(state.close_running);
  EXPECT_TRUE(state.overwrite_existing);
  EXPECT_FALSE(state.make_default);
  EXPECT_EQ(state.account_prefix, "Tess-");
  EXPECT_EQ(state.search_text, std::nullopt);

  RunState searched;
  ASSERT_EQ(ReadCommandText("-auto -p \"T\" -s \"corp\"", searched), StartMode::Automatic);
  EXPECT_EQ(searched.search_text, "corp");
}

TEST(ReadCommandTextTest, EmptyTextIsTheDialogAndXIsIgnoredOnTheCommandLine) {
  RunState dialog;
  EXPECT_EQ(ReadCommandText("", dialog), StartMode::Dialog);
  EXPECT_FALSE(dialog.command_line);
  RunState state;
  ASSERT_EQ(ReadCommandText("-x -n \"J\" -a a@b.c -c 2", state), StartMode::CommandLine);
  EXPECT_FALSE(state.close_running);
}

TEST(CommandTextTest, RebuildsTheQuotesTheShellRemoved) {
  const char* args[] = {"quillbank", "-n", "Jane Doe", "-a", "jane@example.com", "-c", "4",
                        "-d"};
  EXPECT_EQ(CommandTextFromArguments(8, args),
            "-n \"Jane Doe\" -a jane@example.com -c 4 -d");
  const char* automatic[] = {"quillbank", "-auto", "-p", "\"Tess-\"", "-s", "corp", "-x"};
  EXPECT_EQ(CommandTextFromArguments(7, automatic), "-auto -p \"Tess-\" -s \"corp\" -x");
  const char* none[] = {"quillbank"};
  EXPECT_EQ(CommandTextFromArguments(1, none), "");
}

}  // namespace

// Long options are whole words anywhere; quoted text is never one.
TEST(CommandTextTest, LongOptionsAreTakenAsWholeWordsOutsideQuotes) {
  struct Case {
    const char* text;
    const char* rest;
    bool home;
    bool json;
    bool help;
    const char* unknown;
  };
  const Case cases[] = {
      {"--home", "", true, false, false, nullptr},
      {"--home -c 4", "-c 4", true, false, false, nullptr},
      {"-c 4 --home", "-c 4", true, false, false, nullptr},
      {"-n \"J\" --json -a j@x.y --home -c 4", "-n \"J\" -a j@x.y -c 4", true, true, false, nullptr},
      {"-n \"a --home b\" -c 4", "-n \"a --home b\" -c 4", false, false, false, nullptr},
      {"--homes -c 4", "--homes -c 4", false, false, false, "--homes"},
      {"-c 4 ---home --dryrun", "-c 4 ---home --dryrun", false, false, false, "---home"},
      {"-h", "", false, false, true, nullptr},
      {"/? --json", "", false, true, true, nullptr},
      {"-hx -c 4", "-hx -c 4", false, false, false, nullptr},
  };
  for (const Case& c : cases) {
    std::string command = c.text;
    const LongOptions options = TakeLongOptions(command);
    EXPECT_EQ(command, c.rest) << c.text;
    EXPECT_EQ(options.home, c.home) << c.text;
    EXPECT_EQ(options.json, c.json) << c.text;
    EXPECT_EQ(options.help, c.help) << c.text;
    EXPECT_EQ(options.unknown.value_or(""), c.unknown ? c.unknown : "") << c.text;
  }
}

}  // namespace quillbank
