// Double-byte characters on the command line, with GBK's lead bytes installed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

using Words = std::vector<std::string>;

class DoubleByteCommandLine : public ::testing::Test {
 protected:
  void SetUp() override { SetLeadByteRangeForTesting(0x81, 0xFE); }
  void TearDown() override { SetLeadByteRangeForTesting(1, 0); }
};

TEST_F(DoubleByteCommandLine, TrailByteQuoteDoesNotCloseAStretch) {
  EXPECT_EQ(Words({"prog", "\x95\x22 a", "b"}), SplitCommandLine("prog \"\x95\x22 a\" b"));
}

TEST_F(DoubleByteCommandLine, TrailByteQuoteDoesNotOpenAStretch) {
  EXPECT_EQ(Words({"prog", "\x95\x22", "b"}), SplitCommandLine("prog \x95\x22 b"));
}

TEST_F(DoubleByteCommandLine, TrailByteBlankDoesNotSeparate) {
  EXPECT_EQ(Words({"prog", "\x81\x20x", "y"}), SplitCommandLine("prog \x81\x20x y"));
}

TEST_F(DoubleByteCommandLine, TrailByteBackslashStaysPartOfItsCharacter) {
  EXPECT_EQ(Words({"prog", "C:\\\xD5\x5C\\a b.vlm"}),
            SplitCommandLine("prog C:\\\xD5\x5C\\\"a b.vlm\""));
}

TEST_F(DoubleByteCommandLine, LeadByteAtTheEndIsACharacterOfItsOwn) {
  EXPECT_EQ(Words({"prog", "a\x81"}), SplitCommandLine("prog a\x81"));
}

}  // namespace
}  // namespace velmora
