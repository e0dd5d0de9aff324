#include "testing/gbk_lead_bytes.h"
#include "sys/code_page.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// "\x95\x5C" is a GBK character whose second byte is a backslash.
const std::string kPath = "D:\\\x95\\\\a=\x95\\=b";

TEST(CodePage, SteppingNeverStopsOnTheSecondByteOfADoubleByteCharacter) {
  [[maybe_unused]] GbkLeadBytes gbk;
  EXPECT_TRUE(IsLeadByte(0x95));
  EXPECT_FALSE(IsLeadByte('\\'));
  EXPECT_EQ(5u, NextCharOffset(kPath, 3));
  EXPECT_EQ(6u, NextCharOffset(kPath, 5)) << "the real separator after it";
  EXPECT_EQ(kPath.size(), NextCharOffset(kPath, kPath.size()));
  EXPECT_EQ(1u, NextCharOffset("\x95", 0)) << "a lead byte at the end stands alone";

  EXPECT_EQ(5u, FindChar(kPath, '\\', 3));
  EXPECT_EQ(2u, FindChar(kPath, '\\'));
  EXPECT_EQ(7u, FindChar(kPath, '='));
  EXPECT_EQ(10u, FindChar(kPath, '=', 8));
  EXPECT_EQ(std::string::npos, FindChar(kPath, 'z'));
  EXPECT_EQ(5u, FindLastCharOf(kPath, "\\"));
  EXPECT_EQ(5u, FindLastCharOf(kPath, "\\:"));
  EXPECT_EQ(1u, FindLastCharOf("D:\x95\\", "\\:"));
  EXPECT_EQ(std::string::npos, FindLastCharOf("\x95\\", "\\"));
}

TEST(CodePage, ComparisonsIgnoringCase) {
  EXPECT_TRUE(EqualFoldingAscii("#SrcFile", "#SRCFILE"));
  EXPECT_FALSE(EqualFoldingAscii("#SrcFile ", "#SRCFILE"));
  EXPECT_FALSE(EqualFoldingAscii("[", "{")) << "only letters are folded";
  EXPECT_TRUE(EqualIgnoringCase("#SRCFILE", "#SrcFile"));
  EXPECT_FALSE(EqualIgnoringCase("#SrcFile ", "#SrcFile"));
  EXPECT_FALSE(EqualIgnoringCase("#SrcFile", "#DestFile"));
}

// Target and source are compared character by character: the second byte of a double-byte
// character is no letter, even where it has a letter's value (癮 B0 61 and 癆 B0 41 are two
// names), while letters that are characters of their own still fold.
TEST(CodePage, AsciiFoldingStepsOverDoubleByteCharacters) {
  [[maybe_unused]] GbkLeadBytes gbk;
  const struct {
    const char* A;
    const char* B;
    bool Equal;
  } kCases[] = {{"D:\\\xB0\x61.wdf", "D:\\\xB0\x41.wdf", false},
                {"\xB0\x41", "\xB0\x61", false},
                {"\x81\x5A.wdf", "\x81\x7A.wdf", false},
                {"\xD6\x50\xB0\x6D", "\xD6\x70\xB0\x4D", false},
                {"x\\\xFE\x4B", "X\\\xFE\x6B", false},
                {"d:\\\xB0\x61.wdf", "D:\\\xB0\x61.WDF", true},
                {"\xB0\x61z\\g", "\xB0\x61Z\\G", true},
                {"\xB0", "\xB0", true}};
  for (const auto& c : kCases) {
    EXPECT_EQ(EqualFoldingAscii(c.A, c.B), c.Equal)
        << testing::PrintToString(c.A) << " " << testing::PrintToString(c.B);
  }
}

}  // namespace
}  // namespace velmora
