#include "studio/picture_scaling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velmora {
namespace {

TEST(PictureScalingTest, FittedSizesKeepTheProportionsWithinTheRoom) {
  struct Case {
    uint32_t Width, Height, RoomWidth, RoomHeight, ShownWidth, ShownHeight;
  };
  const Case cases[] = {
      {40, 20, 400, 400, 400, 200},  // enlarged to the room's width
      {20, 40, 400, 400, 200, 400},  // to its height
      {4000, 10, 100, 100, 100, 1},  // a thin line keeps one pixel
      {10, 10, 0, 0, 1, 1},          // a room of nothing
  };
  for (const Case& c : cases) {
    const ShownSize shown = FitPicture(c.Width, c.Height, c.RoomWidth, c.RoomHeight);
    EXPECT_EQ(shown.Width, c.ShownWidth) << c.Width << "x" << c.Height;
    EXPECT_EQ(shown.Height, c.ShownHeight) << c.Width << "x" << c.Height;
  }
}

// Random premultiplied pictures reduced to random smaller sizes: every reduced pixel is the
// rounded average of the block it covers, the blocks cover the picture once, and no colour
// outgrows its alpha.
TEST(PictureScalingTest, EachReducedPixelAveragesTheBlockItCovers) {
  std::mt19937 random(22);
  for (int round = 0; round < 50; ++round) {
    DecodedPicture picture;
    picture.Width = 1 + random() % 40;
    picture.Height = 1 + random() % 40;
    for (uint32_t k = 0; k < picture.Width * picture.Height; ++k) {
      const uint8_t alpha = static_cast<uint8_t>(random());
      for (int c = 0; c < 3; ++c)
        picture.Pixels.push_back(static_cast<uint8_t>(random() % (alpha + 1)));
      picture.Pixels.push_back(alpha);
    }
    const uint32_t width = 1 + random() % picture.Width, height = 1 + random() % picture.Height;
    const DecodedPicture reduced = ReducePicture(picture, width, height);
    ASSERT_EQ(reduced.Width, width);
    ASSERT_EQ(reduced.Height, height);
    std::vector<int> covered(picture.Width * picture.Height, 0);
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t left = x * picture.Width / width, right = (x + 1) * picture.Width / width;
        const uint32_t top = y * picture.Height / height,
                       bottom = (y + 1) * picture.Height / height;
        const uint8_t* out = &reduced.Pixels[(y * width + x) * 4];
        for (int c = 0; c < 4; ++c) {
          double sum = 0;
          for (uint32_t sy = top; sy < bottom; ++sy) {
            for (uint32_t sx = left; sx < right; ++sx) {
              sum += picture.Pixels[(sy * picture.Width + sx) * 4 + c];
              if (c == 0) ++covered[sy * picture.Width + sx];
            }
          }
          EXPECT_NEAR(out[c], sum / ((bottom - top) * (right - left)), 0.5);
        }
        EXPECT_LE(std::max({out[0], out[1], out[2]}), out[3]);
      }
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), static_cast<long>(covered.size()));
  }
}

}  // namespace
}  // namespace velmora
