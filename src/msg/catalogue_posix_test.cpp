#include <gtest/gtest.h>

#include "msg/catalogue.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

// The catalogue delivers its texts in the code page the script chose.
TEST(CatalogueInActiveCodePage, TextsFollowTheCodePage) {
  const std::string utf8 = LoadMessage(MessageKey::MsgNoSource);
  SetActiveCodePage(CodePage::kGbk);
  const std::string gbk = LoadMessage(MessageKey::MsgNoSource);
  SetActiveCodePage(CodePage::kUtf8);
  EXPECT_NE(gbk, utf8);
  SetActiveCodePage(CodePage::kGbk);
  EXPECT_EQ(Utf8FromActiveCodePage(gbk), utf8);
  SetActiveCodePage(CodePage::kUtf8);
}

}  // namespace
}  // namespace velmora
