#include <gtest/gtest.h>

#include <cstdio>
#include <random>

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

namespace velmora {
namespace {

// The one rule of every program for a script's encoding, and how often it takes GBK text for
// UTF-8: for the catalogue's Chinese texts, and for random names of two to eight Chinese
// characters, encoded in GBK. The figures are printed; the guides quote them.
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
  SetActiveCodePage(CodePage::kGbk);
  int catalogue_texts = 0;
  int catalogue_misread = 0;
#define VELMORA_MESSAGE(name, id, chinese, english)                           \
  ++catalogue_texts;                                                          \
  if (CodePageOfScript(ActiveCodePageFromUtf8(chinese)) == CodePage::kUtf8 && \
      ActiveCodePageFromUtf8(chinese) != chinese)                             \
    ++catalogue_misread;
#include "catalogue.def"
#undef VELMORA_MESSAGE
  SetActiveCodePage(CodePage::kUtf8);
  EXPECT_EQ(catalogue_misread, 0) << "of " << catalogue_texts << " catalogue texts";
  std::printf("catalogue texts in GBK read as UTF-8: %d of %d\n", catalogue_misread,
              catalogue_texts);

  // Characters of the national standard's two levels (lead 0xB0-0xF7, second byte 0xA1-0xFE;
  // the last five places of 0xD7 are empty), which names are written in.
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> lead(0xB0, 0xF7);
  std::uniform_int_distribution<int> second(0xA1, 0xFE);
  constexpr int kNames = 100000;
  // Upper bounds of the share misread, with room for the randomness of the sample.
  const double bounds[] = {0.025, 0.005, 0.001, 0.0003, 0.0001, 0.0001, 0.0001};
  for (int length = 2; length <= 8; ++length) {
    int misread = 0;
    for (int k = 0; k < kNames; ++k) {
      std::string name;
      while (name.size() < static_cast<size_t>(2 * length)) {
        const int a = lead(random);
        const int b = second(random);
        if (a == 0xD7 && b >= 0xFA) continue;
        name += static_cast<char>(a);
        name += static_cast<char>(b);
      }
      if (CodePageOfScript(name) == CodePage::kUtf8) ++misread;
    }
    const double share = static_cast<double>(misread) / kNames;
    std::printf("GBK names of %d characters read as UTF-8: %d of %d (%.4f %%)\n", length, misread,
                kNames, 100 * share);
    EXPECT_LT(share, bounds[length - 2]) << length << " characters";
  }
}

}  // namespace
}  // namespace velmora
