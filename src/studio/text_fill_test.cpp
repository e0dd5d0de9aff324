#include "studio/text_fill.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FillText, PutsEachFieldWhereTheLanguageWantsIt) {
  const struct {
    const char* text;
    std::vector<std::string> arguments;
    const char* filled;
  } cases[] = {
      {"取自 %s 的条目 @%s", {"C:\\a.wdf", "00000010"}, "取自 C:\\a.wdf 的条目 @00000010"},
      {"taken from entry @%2$s of %1$s",
       {"C:\\a.wdf", "00000010"},
       "taken from entry @00000010 of C:\\a.wdf"},
      {"%1$s and %1$s", {"x"}, "x and x"},
      {"100%% of %s", {"it"}, "100% of it"},
      {"%s, %s, %3$s", {"a"}, "a, , "},  // missing arguments stay empty
      {"%d %x %", {"a"}, "%d %x %"},     // no other placeholders
      {"%s", {"%s %1$s"}, "%s %1$s"},    // arguments are not read again
      {"%9$s|%0$s", {"a"}, "|%0$s"},
  };
  for (const auto& c : cases) EXPECT_EQ(FillText(c.text, c.arguments), c.filled) << c.text;
}

}  // namespace
}  // namespace velmora
