#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Rule lines are looked up by these keys instead of comparing every line: the keys must agree
// with the comparison for every pair of names, including those the locale weighs specially.
TEST(Win32CodePage, ComparisonKeysAreEqualExactlyWhenTheTextsCompareEqual) {
  const std::vector<std::string> texts = {
      "@00001A2B",
      "@00001a2b",
      "@00001A2C",
      "@0000-1A2B",
      "@00001A2B-",
      "'@00001A2B",
      "@0000'1A2B",
      "@00001A2B\x01",
      "\x01@00001A2B",
      "@00001A2B\x7F",
      "\xA3\xC0"
      "00001A2B",
      "\xA3\xC0\xA3\xB0\xA3\xB0\xA3\xB0\xA3\xB0\xA3\xB1\xA3\xC1\xA3\xB2\xA3\xC2",
      "\xA3\xBB@00001A2B",
      "@00001A2\xB0\x61",
      "@00001A2\xB0\x41",
      "\xB0\x61",
      "\xB0\x41",
      "\xD7\xA2\xCA\xCD",
      "\xD7\xA2\xCA\xCD ",
      "#SrcFile",
      "#SRCFILE",
      "#Src-File",
      "#SrcFil\xA3\xC5",
      "#SrcFil\xA3\xE5",
      "co-op",
      "coop",
      "co'op",
      "a\x80",
      "\x81"};
  std::string key_a, key_b;
  for (const std::string& a : texts) {
    ASSERT_TRUE(ComparisonKey(a, &key_a)) << a;
    for (const std::string& b : texts) {
      ASSERT_TRUE(ComparisonKey(b, &key_b)) << b;
      EXPECT_EQ(EqualIgnoringCase(a, b), key_a == key_b) << "\"" << a << "\" and \"" << b << '"';
    }
  }
}

// Names of printable ASCII without '-' and '\'' are looked up by their upper-cased text: the
// comparison must find two such texts equal exactly when they are equal apart from letter case.
TEST(Win32CodePage, PlainAsciiTextsCompareEqualOnlyApartFromLetterCase) {
  for (int a = 0x20; a <= 0x7E; ++a) {
    for (int b = 0x20; b <= 0x7E; ++b) {
      if (a == '-' || a == '\'' || b == '-' || b == '\'') continue;
      const std::string x = "@1" + std::string(1, static_cast<char>(a)) + "Z";
      const std::string y = "@1" + std::string(1, static_cast<char>(b)) + "z";
      EXPECT_EQ(EqualIgnoringCase(x, y), EqualFoldingAscii(x, y)) << x << " and " << y;
    }
  }
}

}  // namespace
}  // namespace velmora
