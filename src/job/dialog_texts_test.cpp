#include <gtest/gtest.h>

#include "job/job_state.h"
#include "msg/ansi_text.h"

namespace velmora {
namespace {

TEST(DialogTexts, BuiltInDefaults) {
  DialogTexts texts;
  EXPECT_EQ("Velmora", texts.Title);
  EXPECT_EQ(AnsiFromUtf8("日期："), texts.DateLine);
  EXPECT_EQ(AnsiFromUtf8("正在生成文件..."), texts.ProgressCaption);
  EXPECT_EQ(AnsiFromUtf8("Velmora 项目组"), texts.CreditLine);
  EXPECT_EQ(AnsiFromUtf8("作者：") + texts.CreditLine, texts.AuthorLine);
}

}  // namespace
}  // namespace velmora
