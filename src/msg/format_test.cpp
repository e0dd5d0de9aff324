#include "msg/format.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FormatText, FillsEachPlaceholderKindInOrder) {
  EXPECT_EQ("a x b -42 c 0000A1B2 d 100%",
            FormatText("a %s b %d c %.8x d %d%%", {"x", -42, uint32_t{0xA1B2}, 100}));
  EXPECT_EQ("1 2", FormatText("%s %s", {std::string("1"), "2"}));
}

TEST(FormatText, WritesNumbersInFullRange) {
  EXPECT_EQ("-2147483648 4294967295", FormatText("%d %d", {INT32_MIN, int64_t{4294967295}}));
  EXPECT_EQ("FFFFFFFF 00000000", FormatText("%.8x %.8x", {uint32_t{0xFFFFFFFF}, 0}));
  // Only the low 32 bits of a number are shown as hexadecimal.
  EXPECT_EQ("00000001", FormatText("%.8x", {int64_t{0x100000001}}));
  EXPECT_EQ("FFFFFFFF", FormatText("%.8x", {-1}));
}

TEST(FormatText, CopiesEverythingElseAsWritten) {
  EXPECT_EQ("%x %5d %.8X %S %", FormatText("%x %5d %.8X %S %", {"unused"}));
  EXPECT_EQ("100% done", FormatText("100% done", {}));
  EXPECT_EQ("%s", FormatText("%%s", {"unused"}));
  EXPECT_EQ("", FormatText("", {"unused"}));
  // Text that looks like a placeholder inside an argument is not formatted again.
  EXPECT_EQ("[%d %s]", FormatText("[%s]", {"%d %s"}));
}

TEST(FormatText, PlaceholderWithoutArgumentBecomesEmpty) {
  EXPECT_EQ("from a to ", FormatText("from %s to %s", {"a"}));
  EXPECT_EQ(" / ", FormatText("%d / %.8x", {}));
  EXPECT_EQ("x ", FormatText("%s %s", {"x"}));
}

TEST(FormatText, ArgumentOfTheOtherKindIsConsumedAndLeavesTheFieldEmpty) {
  EXPECT_EQ(" and 7", FormatText("%s and %d", {5, 7}));
  EXPECT_EQ(" b", FormatText("%d %s", {"a", "b"}));
  EXPECT_EQ(" b", FormatText("%.8x %s", {"a", "b"}));
}

TEST(FormatText, KeepsBytesOfDoubleByteTextsIntact) {
  // GBK "\xD6\xD0" contains no '%'; a text with CR and high bytes passes through unchanged.
  const std::string format = "\xD6\xD0 %s\r\r%s";
  EXPECT_EQ("\xD6\xD0 a\xB5\x5C\r\rb", FormatText(format, {"a\xB5\x5C", "b"}));
}

}  // namespace
}  // namespace velmora
