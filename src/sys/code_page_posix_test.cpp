// The code page a script chose: its lead bytes, and its texts at the edges in UTF-8.
#include <gtest/gtest.h>

#include "sys/code_page.h"

namespace velmora {
namespace {

class ActiveCodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetActiveCodePage(CodePage::kUtf8); }
};

TEST_F(ActiveCodePageTest, Gbk) {
  SetActiveCodePage(CodePage::kGbk);
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0xFE));
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_EQ(FindChar("\xD5\x5C\\", '\\'), 2u) << "a second byte 0x5C is no separator";
  EXPECT_EQ(Utf8FromActiveCodePage("a\xD5\x5C.wdf"), "a\xE8\xAA\xA0.wdf");
  EXPECT_EQ(ActiveCodePageFromUtf8("a\xE8\xAA\xA0.wdf"), "a\xD5\x5C.wdf");
  EXPECT_EQ(Utf8FromActiveCodePage("\xFF"
                                   "a\xD5"),
            "\xFF"
            "a\xD5")
      << "what does not convert stays";
}

TEST_F(ActiveCodePageTest, Utf8StepsByteWiseAndConvertsNothing) {
  SetActiveCodePage(CodePage::kGbk);
  SetActiveCodePage(CodePage::kUtf8);
  EXPECT_FALSE(IsLeadByte(0xE8));
  EXPECT_EQ(Utf8FromActiveCodePage("\xD5\x5C"), "\xD5\x5C");
  EXPECT_EQ(FindChar("\xD5\x5C", '\\'), 1u);
}

}  // namespace
}  // namespace velmora
