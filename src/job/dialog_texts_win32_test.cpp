// The built-in texts are shown in the ANSI code page: GBK under code page 936.
#include <windows.h>

#include <gtest/gtest.h>

#include "job/job_state.h"

namespace velmora {
namespace {

TEST(DialogTexts, DefaultsAreGbkInCodePage936) {
  ASSERT_EQ(936u, GetACP()) << "tests run with the Chinese locale";
  DialogTexts texts;
  EXPECT_EQ("Velmora", texts.Title);
  EXPECT_EQ("\xD7\xF7\xD5\xDF\xA3\xBAVelmora \xCF\xEE\xC4\xBF\xD7\xE9", texts.AuthorLine);
  EXPECT_EQ("\xC8\xD5\xC6\xDA\xA3\xBA", texts.DateLine);
  EXPECT_EQ("\xD5\xFD\xD4\xDA\xC9\xFA\xB3\xC9\xCE\xC4\xBC\xFE...", texts.ProgressCaption);
  EXPECT_EQ("Velmora \xCF\xEE\xC4\xBF\xD7\xE9", texts.CreditLine);
}

}  // namespace
}  // namespace velmora
