#include "sys/cp936_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Cp936TextPosixTest, Utf8NamesBecomeCodePage936OrAreRefused) {
  std::string cp936 = "unchanged";
  ASSERT_TRUE(Cp936FromPathText("改过/0000A1B3.txt", &cp936));
  EXPECT_EQ(cp936, "\xB8\xC4\xB9\xFD/0000A1B3.txt");
  ASSERT_TRUE(Cp936FromPathText("", &cp936));
  EXPECT_EQ(cp936, "");
  cp936 = "unchanged";
  EXPECT_FALSE(Cp936FromPathText("a\xF0\x9F\x98\x80", &cp936));  // no form in code page 936
  EXPECT_FALSE(Cp936FromPathText("a\xB8\xC4", &cp936));          // not UTF-8
  EXPECT_FALSE(Cp936FromPathText("\xE6\x94", &cp936));           // cut character
  EXPECT_EQ(cp936, "unchanged");
}

}  // namespace
}  // namespace velmora
