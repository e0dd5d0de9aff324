#include "studio/tga_image.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::string TgaHeader(int type, int width, int height, int bits, int descriptor, int map_length = 0,
                      int map_bits = 0) {
  std::string h(18, '\0');
  h[1] = static_cast<char>(map_length ? 1 : 0);
  h[2] = static_cast<char>(type);
  h[5] = static_cast<char>(map_length);
  h[7] = static_cast<char>(map_bits);
  h[12] = static_cast<char>(width);
  h[14] = static_cast<char>(height);
  h[16] = static_cast<char>(bits);
  h[17] = static_cast<char>(descriptor);
  return h;
}

// Blue, green, red, alpha of pixel (x, y), top row first.
std::string PixelAt(const BgraImage& image, uint32_t x, uint32_t y) {
  const size_t at = (static_cast<size_t>(y) * image.Width + x) * 4;
  return std::string(reinterpret_cast<const char*>(&image.Pixels[at]), 4);
}

TEST(TgaImageTest, EveryStoredFormReadsToTheSamePicture) {
  // A 2x2 picture: top row red, green; bottom row blue, half-transparent white.
  const std::string red("\x00\x00\xff\xff", 4), green("\x00\xff\x00\xff", 4),
      blue("\xff\x00\x00\xff", 4), white("\xff\xff\xff\x80", 4);
  struct Case {
    const char* Name;
    std::string Bytes;
    bool Alpha;
  };
  const Case cases[] = {
      {"32-bit from the bottom", TgaHeader(2, 2, 2, 32, 8) + blue + white + red + green, true},
      {"32-bit from the top", TgaHeader(2, 2, 2, 32, 0x28) + red + green + blue + white, true},
      {"32-bit run-length",
       TgaHeader(10, 2, 2, 32, 0x28) + "\x01" + red + green + "\x01" + blue + white, true},
      {"mapped run-length",
       TgaHeader(9, 2, 2, 8, 0x28, 4, 32) + red + green + blue + white + "\x83" +
           std::string("\x00", 1),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    BgraImage image;
    ASSERT_TRUE(DecodeTga(c.Bytes, &image));
    ASSERT_EQ(image.Width, 2u);
    ASSERT_EQ(image.Height, 2u);
    if (std::string(c.Name) == "mapped run-length") {
      for (uint32_t k = 0; k < 4; ++k) EXPECT_EQ(PixelAt(image, k % 2, k / 2), red);
      continue;
    }
    EXPECT_EQ(image.HasAlpha, c.Alpha);
    EXPECT_EQ(PixelAt(image, 0, 0), red);
    EXPECT_EQ(PixelAt(image, 1, 0), green);
    EXPECT_EQ(PixelAt(image, 0, 1), blue);
    EXPECT_EQ(PixelAt(image, 1, 1), white);
  }
}

TEST(TgaImageTest, DamagedOrHostileHeadersAreRefused) {
  const std::string pixels(64, '\x10');
  const std::string cases[] = {
      "",
      TgaHeader(2, 2, 2, 24, 0).substr(0, 17),
      TgaHeader(2, 2, 2, 24, 0) + pixels.substr(0, 11),  // one byte short
      TgaHeader(4, 2, 2, 24, 0) + pixels,                // no such type
      TgaHeader(2, 0, 2, 24, 0) + pixels,                // no width
      TgaHeader(2, 2, 2, 12, 0) + pixels,                // no such depth
      TgaHeader(10, 2, 2, 24, 0) + "\xff" + pixels,      // a run past the picture
      TgaHeader(9, 2, 2, 8, 0, 200, 24) + pixels,        // palette beyond the data
  };
  for (const std::string& bytes : cases) {
    BgraImage image;
    EXPECT_FALSE(DecodeTga(bytes, &image)) << bytes.size();
  }
  std::string huge = TgaHeader(2, 0, 0, 24, 0);
  huge[13] = huge[15] = '\xff';  // 65280 x 65280 pixels named by 18 bytes
  BgraImage image;
  EXPECT_FALSE(DecodeTga(huge + pixels, &image));
}

}  // namespace
}  // namespace velmora
