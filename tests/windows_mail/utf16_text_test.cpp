// UTF-16 files byte for byte: what is written, and how lines are read back.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "clients/windows_mail/utf16_text.h"
#include "tests/support/memory_files.h"

namespace quillbank::winmail {
namespace {

// UTF-16 little-endian bytes of a text of code units below 0x100.
std::string Utf16Bytes(std::string_view latin1) {
  std::string bytes;
  for (const char c : latin1) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

std::vector<WideText> AllLines(std::string bytes) {
  WideFileReader in(std::move(bytes));
  std::vector<WideText> lines;
  while (std::optional<WideText> line = ReadWideLine(in)) lines.push_back(*line);
  return lines;
}

TEST(Utf16TextTest, WritesLittleEndianCodeUnitsAndReadsTheMarkBackAsText) {
  WideFileWriter out;
  WriteWideText(out, WideView(&kByteOrderMark, 1));
  WriteWideText(out, u"<?xml\r\n");
  WriteWideText(out, u"\x1234\x00E9");
  const std::string& bytes = out.bytes();
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE\x3C\x00\x3F\x00", 6));
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\x34\x12\xE9\x00", 4));

  // Nothing skips the mark: it is the first character of the first line.
  const std::vector<WideText> lines = AllLines(bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], u"\xFEFF<?xml");
  EXPECT_EQ(lines[1], u"\x1234\x00E9");
}

TEST(Utf16TextTest, LineEndsAreDroppedAndNoEmptyLastLineIsAdded) {
  EXPECT_EQ(AllLines(Utf16Bytes("one\r\ntwo\nthree\r\n")),
            (std::vector<WideText>{u"one", u"two", u"three"}));
  // A last line without a line end, an empty line, and a CR that does not end
  // a line.
  EXPECT_EQ(AllLines(Utf16Bytes("a\r\n\r\nb\rc\r\nlast")),
            (std::vector<WideText>{u"a", u"", u"b\rc", u"last"}));
  // An element line reads as itself without its line end; trimmed, it starts
  // at its "<".
  std::vector<WideText> element = AllLines(Utf16Bytes("    <POP3_Port type=\"DWORD\">0000006e</POP3_Port>\r\n"));
  ASSERT_EQ(element.size(), 1u);
  EXPECT_EQ(element[0], u"    <POP3_Port type=\"DWORD\">0000006e</POP3_Port>");
  TrimSpaces(element[0]);
  EXPECT_EQ(element[0], u"<POP3_Port type=\"DWORD\">0000006e</POP3_Port>");
}

TEST(Utf16TextTest, EmptyMissingAndTruncatedFiles) {
  EXPECT_TRUE(AllLines("").empty());
  // A half code unit at the end is not a character.
  EXPECT_EQ(AllLines(Utf16Bytes("ab") + "c"), (std::vector<WideText>{u"ab"}));

  testing::MemoryFiles files;
  WideFileReader missing = WideFileReader::Open(files, "C:\\nothing.oeaccount");
  EXPECT_FALSE(missing.is_open());
  EXPECT_EQ(ReadWideLine(missing), std::nullopt);
  files.Put("C:\\empty.oeaccount", "");
  WideFileReader empty = WideFileReader::Open(files, "C:\\empty.oeaccount");
  EXPECT_TRUE(empty.is_open());
  EXPECT_EQ(ReadWideLine(empty), std::nullopt);
}

TEST(Utf16TextTest, TrimSpacesRemovesOnlyBlanksAtBothEnds) {
  WideText line = u"  \t<Account_Name> x  ";
  TrimSpaces(line);
  EXPECT_EQ(line, u"\t<Account_Name> x");
  line = u"\xFEFF  <a>";
  TrimSpaces(line);
  EXPECT_EQ(line, u"\xFEFF  <a>");
  line = u"    ";
  TrimSpaces(line);
  EXPECT_EQ(line, u"");
  line = u"";
  TrimSpaces(line);
  EXPECT_EQ(line, u"");
}

TEST(Utf16TextTest, CodeUnitsAreLittleEndianPairsAndAnOddLastByteIsDropped) {
  EXPECT_EQ(CodeUnitsOf(""), u"");
  EXPECT_EQ(CodeUnitsOf(std::string("\xAC\x20<\0", 4)), u"\x20AC<");
  EXPECT_EQ(CodeUnitsOf(std::string("a\0b", 3)), u"a");
}

}  // namespace
}  // namespace quillbank::winmail
