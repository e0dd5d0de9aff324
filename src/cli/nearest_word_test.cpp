#include "cli/nearest_word.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(NearestWord, FindsTheKnownWordASlipOfTheFingersMeant) {
  const std::vector<std::string> commands = {"run", "check", "list", "extract", "verify", "script"};
  const std::vector<std::string> keys = {"#RunBegin", "#SrcPath", "#SrcFile", "#DestPath",
                                         "#DestFile", "#Author",  "#Date",    "#RunEnd"};
  const struct {
    const char* word;
    const std::vector<std::string>& known;
    const char* nearest;
  } cases[] = {
      {"chekc", commands, "check"},      // two letters swapped
      {"lsit", commands, "list"},        // swapped in a short word
      {"extrat", commands, "extract"},   // one letter missing
      {"verifyy", commands, "verify"},   // one too many
      {"check", commands, ""},           // already known
      {"xyz", commands, ""},             // nothing near
      {"ru", commands, ""},              // too short to tell from a guess
      {"#DestFlie", keys, "#DestFile"},  // the swap of the issue
      {"#destfile", keys, ""},           // case alone is no slip: the run ignores case
      {"#SrcFiel", keys, "#SrcFile"},
      {"#Autor", keys, "#Author"},
      {"#Comment", keys, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.nearest, NearestWord(c.word, c.known)) << c.word;
  }
  EXPECT_EQ(1u, EditDistance("ab", "ba"));
  EXPECT_EQ(3u, EditDistance("", "abc"));
}

}  // namespace
}  // namespace velmora
