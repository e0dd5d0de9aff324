#include <windows.h>

#include <gtest/gtest.h>

#include "sys/code_page.h"

namespace velmora {
namespace {

TEST(Win32CodePage, SteppingSkipsTrailBytesThatLookLikeBackslashes) {
  // Two GBK characters whose second byte is 0x5C, then a real separator.
  const std::string text = "a\x95\\\xB1\\\\b";
  std::vector<size_t> starts;
  for (size_t pos = 0; pos < text.size(); pos = NextCharOffset(text, pos)) starts.push_back(pos);
  EXPECT_EQ((std::vector<size_t>{0, 1, 3, 5, 6}), starts);
  EXPECT_EQ(5u, FindChar(text, '\\'));
  EXPECT_EQ(5u, FindLastCharOf(text, "\\:"));
  EXPECT_EQ(std::string::npos, FindLastCharOf("\x95\\", "\\"));
  EXPECT_EQ(2u, NextCharOffset(std::string("a\x95", 2), 1)) << "never beyond the text";
  EXPECT_EQ(4u, NextCharOffset(std::string("a\0b\0", 4), 3)) << "zero bytes step too";
}

TEST(Win32CodePage, LocaleComparisonIgnoresCaseOverTheFullLengths) {
  EXPECT_TRUE(EqualIgnoringCase("#SRCFILE", "#SrcFile"));
  EXPECT_FALSE(EqualIgnoringCase("#SrcFile ", "#SrcFile"));
  EXPECT_FALSE(EqualIgnoringCase(std::string("#SrcFile\0x", 10), "#SrcFile"));
  EXPECT_TRUE(EqualIgnoringCase("\xB1\xED", "\xB1\xED"));
}

}  // namespace
}  // namespace velmora
