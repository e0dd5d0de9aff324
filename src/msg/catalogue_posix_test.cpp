#include <gtest/gtest.h>

#include <vector>

#include "msg/catalogue.h"
#include "sys/code_page.h"
#include "testing/gbk_misreads.h"

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

namespace velmora {
namespace {

// The one rule of every program for a script's encoding, and how seldom it takes GBK text for
// UTF-8 (bench/script_encoding_misreads prints the figures the guides quote).
TEST(ScriptEncodingRule, TellsUtf8FromGbk) {
  const std::string utf8 = "#SrcFile=\xE7\x95\x8C\xE9\x9D\xA2.wdf\r\n";  // 界面.wdf
  const std::string gbk = "#SrcFile=\xBD\xE7\xC3\xE6.wdf\r\n";
  EXPECT_EQ(CodePageOfScript(utf8), CodePage::kUtf8);
  EXPECT_EQ(CodePageOfScript("\xEF\xBB\xBF" + utf8), CodePage::kUtf8);
  EXPECT_EQ(CodePageOfScript(gbk), CodePage::kGbk);
  EXPECT_EQ(CodePageOfScript("\xEF\xBB\xBF" + gbk), CodePage::kUtf8) << "the mark settles it";
  EXPECT_EQ(CodePageOfScript("#SrcFile=a.wdf"), CodePage::kUtf8) << "ASCII reads the same";
  EXPECT_EQ(CodePageOfScript(utf8 + gbk), CodePage::kGbk) << "valid as a whole, or GBK";
}

TEST(ScriptEncodingRule, GbkTextIsRarelyTakenForUtf8) {
  const MisreadCount catalogue = CatalogueTextsReadAsUtf8();
  EXPECT_EQ(catalogue.Misread, 0) << "of " << catalogue.Texts << " catalogue texts";
  // Upper bounds of the share misread, with room for the randomness of the sample.
  const double bounds[] = {0.025, 0.005, 0.001, 0.0003, 0.0001, 0.0001, 0.0001};
  const std::vector<MisreadCount> names = RandomGbkNamesReadAsUtf8(2, 8, 100000, 20261207);
  for (size_t k = 0; k < names.size(); ++k) {
    EXPECT_LT(names[k].Share(), bounds[k]) << k + 2 << " characters";
  }
}

}  // namespace
}  // namespace velmora
