#include "job/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, WordsQuotesAndTheirEdges) {
  const struct {
    std::string Line;
    Words Expected;
  } cases[] = {
      // Blanks and control characters separate words.
      {"prog a b", {"prog", "a", "b"}},
      {"  \t prog\t\ta \r\n b  ", {"prog", "a", "b"}},
      {"prog\x01"
       "a\x1F",
       {"prog", "a"}},
      {"", {}},
      {"   ", {}},
      // Quoted stretches keep their blanks and lose their quotes.
      {"\"C:\\Program Files\\Velmora.exe\" \"C:\\my scripts\\a.vlm\" second",
       {"C:\\Program Files\\Velmora.exe", "C:\\my scripts\\a.vlm", "second"}},
      // Quoted and unquoted pieces next to each other make one word.
      {"prog C:\\\"my dir\"\\x.vlm", {"prog", "C:\\my dir\\x.vlm"}},
      {"prog a\"b c\"d e", {"prog", "ab cd", "e"}},
      {"prog a\"\" b", {"prog", "a", "b"}},
      {"prog \"a b ", {"prog", "a b "}},  // an unclosed stretch runs to the end of the line
      // Empty quote pairs before a word are skipped.
      {"prog \"\" a", {"prog", "a"}},
      {"prog \"\"\"\" \"\"a", {"prog", "a"}},
      {"prog \"\"x\"\"", {"prog", "x"}},
      {"prog \"\"", {"prog"}},
      // A lone quote at the end is an empty word that ends the arguments.
      {"prog a \"", {"prog", "a"}},
      {"prog \"", {"prog"}},
      {"prog \" ", {"prog", " "}},  // a quote holding only a blank is a word
      // A backslash escapes nothing: a quote after a trailing one closes the stretch.
      {"prog \"C:\\dir\\\" next", {"prog", "C:\\dir\\", "next"}},
      {"prog a\\\"b c\"", {"prog", "a\\b c"}},
      {"prog a\\\\b", {"prog", "a\\\\b"}},
      {std::string("prog a\0b", 8), {"prog", "a"}},  // a zero byte ends the line
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Expected, SplitCommandLine(c.Line)) << testing::PrintToString(c.Line);
  }
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
