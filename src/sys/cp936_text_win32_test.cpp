#include "sys/cp936_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// The tests run under code page 936, so names from the system arrive in it already.
TEST(Cp936TextWin32Test, AnsiNamesPassAndLostCharactersAreRefused) {
  std::string cp936;
  ASSERT_TRUE(Cp936FromPathText("\xB8\xC4\xB9\xFD\\0000A1B3.txt", &cp936));
  EXPECT_EQ(cp936, "\xB8\xC4\xB9\xFD\\0000A1B3.txt");
  EXPECT_FALSE(Cp936FromPathText("a?b.txt", &cp936));  // the listing's stand-in for a character
}

}  // namespace
}  // namespace velmora
