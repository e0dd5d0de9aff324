#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, BlanksAndControlCharactersSeparateWords) {
  EXPECT_EQ(Words({"prog", "a", "b"}), SplitCommandLine("prog a b"));
  EXPECT_EQ(Words({"prog", "a", "b"}), SplitCommandLine("  \t prog\t\ta \r\n b  "));
  EXPECT_EQ(Words({"prog", "a"}), SplitCommandLine("prog\x01"
                                                   "a\x1F"));
  EXPECT_EQ(Words(), SplitCommandLine(""));
  EXPECT_EQ(Words(), SplitCommandLine("   "));
}

TEST(SplitCommandLine, QuotedStretchesKeepBlanksAndLoseTheirQuotes) {
  EXPECT_EQ(Words({"C:\\Program Files\\Velmora.exe", "C:\\my scripts\\a.vlm", "second"}),
            SplitCommandLine("\"C:\\Program Files\\Velmora.exe\" \"C:\\my scripts\\a.vlm\" "
                             "second"));
  // Quoted and unquoted pieces next to each other make one word.
  EXPECT_EQ(Words({"prog", "C:\\my dir\\x.vlm"}), SplitCommandLine("prog C:\\\"my dir\"\\x.vlm"));
  EXPECT_EQ(Words({"prog", "ab cd", "e"}), SplitCommandLine("prog a\"b c\"d e"));
  EXPECT_EQ(Words({"prog", "a", "b"}), SplitCommandLine("prog a\"\" b"));
  // An unclosed stretch runs to the end of the line.
  EXPECT_EQ(Words({"prog", "a b "}), SplitCommandLine("prog \"a b "));
}

TEST(SplitCommandLine, EmptyQuotePairsBeforeAWordAreSkipped) {
  EXPECT_EQ(Words({"prog", "a"}), SplitCommandLine("prog \"\" a"));
  EXPECT_EQ(Words({"prog", "a"}), SplitCommandLine("prog \"\"\"\" \"\"a"));
  EXPECT_EQ(Words({"prog", "x"}), SplitCommandLine("prog \"\"x\"\""));
  EXPECT_EQ(Words({"prog"}), SplitCommandLine("prog \"\""));
}

TEST(SplitCommandLine, LoneQuoteAtTheEndIsAnEmptyWordThatEndsTheArguments) {
  EXPECT_EQ(Words({"prog", "a"}), SplitCommandLine("prog a \""));
  EXPECT_EQ(Words({"prog"}), SplitCommandLine("prog \""));
  // A quote holding only a blank is a word, not an empty one.
  EXPECT_EQ(Words({"prog", " "}), SplitCommandLine("prog \" "));
}

TEST(SplitCommandLine, BackslashEscapesNothing) {
  // The quote after a trailing backslash closes the stretch, as a directory argument needs.
  EXPECT_EQ(Words({"prog", "C:\\dir\\", "next"}), SplitCommandLine("prog \"C:\\dir\\\" next"));
  EXPECT_EQ(Words({"prog", "a\\b c"}), SplitCommandLine("prog a\\\"b c\""));
  EXPECT_EQ(Words({"prog", "a\\\\b"}), SplitCommandLine("prog a\\\\b"));
}

TEST(SplitCommandLine, ZeroByteEndsTheLine) {
  EXPECT_EQ(Words({"prog", "a"}), SplitCommandLine(std::string("prog a\0b", 8)));
}

TEST(CommandLine, CountsAndReturnsArgumentsAfterTheProgramName) {
  const CommandLine line("velmora.exe \"D:\\my scripts\\ui.vlm\" ignored", "C:\\bin\\Velmora.exe");
  EXPECT_EQ(2, line.ArgumentCount());
  EXPECT_EQ("D:\\my scripts\\ui.vlm", line.ArgumentAt(1));
  EXPECT_EQ("ignored", line.ArgumentAt(2));
  EXPECT_EQ("", line.ArgumentAt(3));
  EXPECT_EQ("", line.ArgumentAt(-1));
}

TEST(CommandLine, ArgumentZeroIsTheProgramFileNotTheStartName) {
  EXPECT_EQ("C:\\bin\\Velmora.exe", CommandLine("velmora a", "C:\\bin\\Velmora.exe").ArgumentAt(0));
  EXPECT_EQ("C:\\bin\\Velmora.exe", CommandLine("", "C:\\bin\\Velmora.exe").ArgumentAt(0));
}

TEST(CommandLine, NoArgumentsWithoutWordsOrWithOnlyTheProgram) {
  EXPECT_EQ(0, CommandLine("", "p").ArgumentCount());
  EXPECT_EQ(0, CommandLine("\"C:\\Program Files\\Velmora.exe\"", "p").ArgumentCount());
  EXPECT_EQ(0, CommandLine("prog \"\" \"", "p").ArgumentCount());
  EXPECT_EQ("", CommandLine("prog", "p").ArgumentAt(1));
}

}  // namespace
}  // namespace velmora
