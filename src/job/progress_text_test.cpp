#include "job/progress_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ProgressPercentTest, RunsFromZeroAtTheFirstEntryToHundredAtTheLast) {
  EXPECT_EQ(ProgressPercent(0, 2), 0);
  EXPECT_EQ(ProgressPercent(1, 2), 100);
  EXPECT_EQ(ProgressPercent(1, 3), 50);
  EXPECT_EQ(ProgressPercent(0, 101), 0);
  EXPECT_EQ(ProgressPercent(1, 101), 1);
  EXPECT_EQ(ProgressPercent(50, 101), 50);
  EXPECT_EQ(ProgressPercent(100, 101), 100);
  EXPECT_EQ(ProgressPercent(0, 1), 100) << "the only entry of a one-entry archive";
}

TEST(ProgressPercentTest, TruncatesAndStaysExactForLargeArchives) {
  EXPECT_EQ(ProgressPercent(699, 70000), 0);  // 0.9986
  EXPECT_EQ(ProgressPercent(700, 70000), 1);  // 1.00001
  EXPECT_EQ(ProgressPercent(69998, 70000), 99);
  EXPECT_EQ(ProgressPercent(69999, 70000), 100);
  // index * 100 passes the 32-bit range here.
  EXPECT_EQ(ProgressPercent(30000000, 40000001), 75);
  EXPECT_EQ(ProgressPercent(0xFFFFFFFEu, 0xFFFFFFFFu), 100);
}

TEST(ProgressTextTest, TitleAndCaptionCarryPercentageAndEntryNumber) {
  EXPECT_EQ(ProgressTitle("Velmora", 1, 3), "Velmora 50%");
  EXPECT_EQ(ProgressTitle("Velmora", 0, 1), "Velmora 100%");
  EXPECT_EQ(ProgressTitle("100%d", 0, 2), "100%d 0%") << "the title is not a format";
  EXPECT_EQ(ProgressCaptionText("Making...", 0, 3), "Making... 1/3");
  EXPECT_EQ(ProgressCaptionText("Making...", 69999, 70000), "Making... 70000/70000");
}

}  // namespace
}  // namespace velmora
