#include "studio/picture_decoding.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Be16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
std::string Be32(uint32_t v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

// Every 2 x 2 picture below shows red, green on the top row and blue, white below; the white is
// half transparent where the format stores alpha. Colours as red, green, blue, alpha.
const std::string kRed("\xff\x00\x00\xff", 4), kGreen("\x00\xff\x00\xff", 4),
    kBlue("\x00\x00\xff\xff", 4), kWhite("\xff\xff\xff\xff", 4), kHalfWhite("\xff\xff\xff\x80", 4);

// Each pixel's bytes in the order of `order` ("bgra", "rgb", ...).
std::string Stored(const std::string& rgba, const char* order) {
  std::string out;
  for (const char* c = order; *c; ++c) out += rgba[std::string("rgba").find(*c)];
  return out;
}

std::string Tga(int type, unsigned width, unsigned height, int bits, int descriptor,
                const std::string& data, unsigned map_first = 0, unsigned map_length = 0) {
  return std::string(1, '\0') + static_cast<char>(map_length ? 1 : 0) + static_cast<char>(type) +
         Le16(map_first) + Le16(map_length) + static_cast<char>(map_length ? 32 : 0) + Le32(0) +
         Le16(width) + Le16(height) + static_cast<char>(bits) + static_cast<char>(descriptor) +
         data;
}

std::string Bmp() {
  const std::string rows = Stored(kBlue, "bgr") + Stored(kWhite, "bgr") + std::string(2, '\0') +
                           Stored(kRed, "bgr") + Stored(kGreen, "bgr") + std::string(2, '\0');
  return "BM" + Le32(54 + 16) + Le32(0) + Le32(54) + Le32(40) + Le32(2) + Le32(2) + Le16(1) +
         Le16(24) + Le32(0) + Le32(16) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0) + rows;
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

std::string PngChunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<uint32_t>(data.size())) + type + data + Be32(Crc32(type + data));
}

// Rows of filter 0 in one stored deflate block.
std::string Png() {
  const std::string raw = '\0' + kRed + kGreen + '\0' + kBlue + kHalfWhite;
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) b = (b + (a = (a + c) % 65521)) % 65521;
  const std::string zlib =
      "\x78\x01\x01" + Le16(18) + Le16(~18u & 0xFFFF) + raw + Be32(b << 16 | a);
  return "\x89PNG\r\n\x1a\n" +
         PngChunk("IHDR", Be32(2) + Be32(2) + std::string("\x08\x06\x00\x00\x00", 5)) +
         PngChunk("IDAT", zlib) + PngChunk("IEND", "");
}

// Four colours, one pixel each; every code of three bits follows a clear code, so the code
// width never grows.
std::string Gif() {
  std::string codes;
  uint32_t bits = 0, count = 0;
  auto put = [&](uint32_t code) {
    bits |= code << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8) codes += static_cast<char>(bits & 0xFF);
  };
  for (uint32_t index = 0; index < 4; ++index) {
    put(4);
    put(index);
  }
  put(5);
  if (count) codes += static_cast<char>(bits & 0xFF);
  return "GIF89a" + Le16(2) + Le16(2) + "\x81" + std::string(2, '\0') + Stored(kRed, "rgb") +
         Stored(kGreen, "rgb") + Stored(kBlue, "rgb") + Stored(kWhite, "rgb") + "\x2c" + Le32(0) +
         Le16(2) + Le16(2) + '\0' + "\x02" + static_cast<char>(codes.size()) + codes + '\0' + ";";
}

std::string Psd() {
  std::string planes;
  for (int channel = 0; channel < 3; ++channel) {
    for (const std::string* p : {&kRed, &kGreen, &kBlue, &kWhite}) planes += (*p)[channel];
  }
  return "8BPS" + Be16(1) + std::string(6, '\0') + Be16(3) + Be32(2) + Be32(2) + Be16(8) + Be16(3) +
         Be32(0) + Be32(0) + Be32(0) + Be16(0) + planes;
}

// 8 x 8 grey at the middle level: one block with no coefficients, through one-code tables.
std::string Jpeg() {
  const std::string one_code = std::string("\x01", 1) + std::string(15, '\0') + '\0';
  return "\xff\xd8\xff\xdb" + Be16(67) + '\0' + std::string(64, '\x01') + "\xff\xc0" + Be16(11) +
         "\x08" + Be16(8) + Be16(8) + "\x01\x01\x11" + '\0' + "\xff\xc4" + Be16(20) + '\0' +
         one_code + "\xff\xc4" + Be16(20) + "\x10" + one_code + "\xff\xda" + Be16(8) + "\x01\x01" +
         '\0' + '\0' + "\x3f" + '\0' + "\x3f\xff\xd9";
}

// What the preview composes: blue, green, red, alpha, the colours multiplied by the alpha.
std::string Shown(const std::string& rgba) {
  const unsigned alpha = static_cast<unsigned char>(rgba[3]);
  std::string out = Stored(rgba, "bgra");
  for (int c = 0; c < 3; ++c) {
    out[c] = static_cast<char>((static_cast<unsigned char>(out[c]) * alpha + 127) / 255);
  }
  return out;
}

struct Case {
  const char* Name;
  std::string Bytes;
  uint32_t Width;
  std::string Corners;  // top left, top right, bottom left, bottom right, as shown
};

std::vector<Case> ReadableCases() {
  const std::string grey("\x80\x80\x80\xff", 4);
  const std::string opaque = Shown(kRed) + Shown(kGreen) + Shown(kBlue) + Shown(kWhite);
  const std::string see_through = Shown(kRed) + Shown(kGreen) + Shown(kBlue) + Shown(kHalfWhite);
  const auto tga = [](const std::string& rgba) { return Stored(rgba, "bgra"); };
  const std::string palette = tga(kRed) + tga(kGreen) + tga(kBlue) + tga(kHalfWhite);
  // Pixels that begin past the decoder's first read of the entry.
  std::string long_id = Tga(2, 2, 2, 32, 0x28, tga(kRed) + tga(kGreen) + tga(kBlue) + tga(kWhite));
  long_id[0] = static_cast<char>(200);
  long_id.insert(18, 200, 'i');
  return {
      {"bmp", Bmp(), 2, opaque},
      {"png", Png(), 2, see_through},
      {"gif", Gif(), 2, opaque},
      {"psd", Psd(), 2, opaque},
      {"jpeg", Jpeg(), 8, grey + grey + grey + grey},
      {"jpeg after fill bytes past the decoder's first read", std::string(300, '\xff') + Jpeg(), 8,
       grey + grey + grey + grey},
      {"tga from the bottom",
       Tga(2, 2, 2, 32, 0x08, tga(kBlue) + tga(kHalfWhite) + tga(kRed) + tga(kGreen)), 2,
       see_through},
      {"tga from the top right",
       Tga(2, 2, 2, 32, 0x38, tga(kGreen) + tga(kRed) + tga(kHalfWhite) + tga(kBlue)), 2,
       see_through},
      {"tga whose alpha the descriptor does not announce",
       Tga(2, 2, 2, 32, 0x20, tga(kRed) + tga(kGreen) + tga(kBlue) + tga(kHalfWhite)), 2, opaque},
      {"tga with a long id", long_id, 2, opaque},
      {"tga in runs",
       Tga(10, 2, 2, 32, 0x28,
           "\x01" + tga(kRed) + tga(kGreen) + "\x80" + tga(kBlue) + '\0' + tga(kHalfWhite)),
       2, see_through},
      {"tga with a palette",
       Tga(1, 2, 2, 8, 0x28, palette + std::string("\x00\x01\x02\x03", 4), 0, 4), 2, see_through},
      {"tga in runs with a palette from index 2",
       Tga(9, 2, 2, 8, 0x28, palette + "\x03\x02\x03\x04\x05", 2, 4), 2, see_through},
      {"bmp with an index past its palette, shown black",
       "BM" + Le32(54 + 8 + 8) + Le32(0) + Le32(54 + 8) + Le32(40) + Le32(2) + Le32(2) + Le16(1) +
           Le16(8) + Le32(0) + Le32(8) + Le32(2835) + Le32(2835) + Le32(2) + Le32(0) +
           Stored(kBlue, "bgr") + '\0' + Stored(kWhite, "bgr") + '\0' +
           std::string("\x01\xc8\0\0\x00\x01\0\0", 8),
       2, Shown(kBlue) + Shown(kWhite) + Shown(kWhite) + Shown(std::string("\0\0\0\xff", 4))},
      {"tga with an index past its palette, shown as the first colour",
       Tga(1, 2, 2, 8, 0x28, palette + std::string("\x00\x01\x02\xc8", 4), 0, 4), 2,
       Shown(kRed) + Shown(kGreen) + Shown(kBlue) + Shown(kRed)},
  };
}

std::string Corners(const DecodedPicture& picture) {
  std::string out;
  const uint32_t w = picture.Width, h = picture.Height;
  for (uint64_t at : {uint64_t{0}, uint64_t{w - 1}, uint64_t{w} * (h - 1), uint64_t{w} * h - 1}) {
    out.append(reinterpret_cast<const char*>(picture.Pixels.data()) + at * 4, 4);
  }
  return out;
}

TEST(PictureDecodingTest, EachFormatReadsToTheSamePicture) {
  for (const Case& c : ReadableCases()) {
    SCOPED_TRACE(c.Name);
    DecodedPicture picture;
    ASSERT_EQ(DecodePicture(c.Bytes, &picture), PictureFailure::kNone);
    ASSERT_EQ(picture.Width, c.Width);
    ASSERT_EQ(picture.Height, c.Width);
    ASSERT_EQ(picture.Pixels.size(), size_t{c.Width} * c.Width * 4);
    EXPECT_EQ(Corners(picture), c.Corners);
  }
}

// A picture cut anywhere is refused, or (when only bytes the picture does not need are gone)
// shown exactly as whole: never with made-up pixels.
TEST(PictureDecodingTest, ACutPictureIsRefusedOrWhole) {
  for (const Case& c : ReadableCases()) {
    DecodedPicture whole;
    ASSERT_EQ(DecodePicture(c.Bytes, &whole), PictureFailure::kNone);
    for (size_t size = 0; size < c.Bytes.size(); ++size) {
      DecodedPicture cut;
      if (DecodePicture(c.Bytes.substr(0, size), &cut) == PictureFailure::kNone) {
        EXPECT_EQ(cut.Pixels, whole.Pixels) << c.Name << " cut to " << size;
      } else {
        EXPECT_TRUE(cut.Pixels.empty());
      }
    }
  }
}

TEST(PictureDecodingTest, DamagedAndOversizedPicturesAreRefusedBeforeDecoding) {
  struct Refused {
    const char* Name;
    std::string Bytes;
    PictureFailure Failure;
    uint32_t Width;
  };
  std::string huge_png = Png();
  // A code table claiming 255 + 45 codes, one of them cut off by the end of the picture.
  std::string many_codes = Jpeg();
  many_codes.replace(many_codes.find("\xff\xc4") + 5, 2, "\xff\x2d");
  const std::string many_codes_cut = many_codes.substr(0, many_codes.find("\xff\xc4") + 8);
  std::string empty_palette = Tga(1, 2, 2, 8, 0x28, std::string(20, '\0'), 0, 4);
  empty_palette.replace(5, 2, Le16(0));
  huge_png.replace(16, 8, Be32(5000) + Be32(5000));
  const Refused cases[] = {
      {"nothing", "", PictureFailure::kUnreadable, 0},
      {"a text", "not a picture at all, only words", PictureFailure::kUnreadable, 0},
      {"tga of a type that does not exist", Tga(4, 2, 2, 32, 0, std::string(16, '\x10')),
       PictureFailure::kUnreadable, 0},
      {"tga with an empty palette", empty_palette, PictureFailure::kUnreadable, 2},
      {"jpeg with more than 256 codes in a table", many_codes, PictureFailure::kUnreadable, 0},
      {"jpeg whose table is cut by the end", many_codes_cut, PictureFailure::kUnreadable, 0},
      {"the same after fill bytes", "\xff\xff" + many_codes, PictureFailure::kUnreadable, 0},
      {"tga behind fill bytes past the decoder's first read",
       std::string(128, '\xff') + Tga(2, 2, 2, 32, 0x28, std::string(16, '\x10')),
       PictureFailure::kUnreadable, 0},
      {"tga of 65535 x 65535", Tga(2, 0xFFFF, 0xFFFF, 32, 0, std::string(64, '\x10')),
       PictureFailure::kTooLarge, 0xFFFF},
      {"png of 5000 x 5000", huge_png, PictureFailure::kTooLarge, 5000},
      {"bmp of 8 bits whose pixels begin inside its header",
       "BM" + Le32(70) + Le32(0) + Le32(0) + Le32(40) + Le32(2) + Le32(2) + Le16(1) + Le16(8) +
           Le32(0) + Le32(8) + Le32(2835) + Le32(2835) + Le32(2) + Le32(0) +
           std::string(16, '\x01'),
       PictureFailure::kUnreadable, 0},
  };
  for (const Refused& c : cases) {
    DecodedPicture picture;
    EXPECT_EQ(DecodePicture(c.Bytes, &picture), c.Failure) << c.Name;
    EXPECT_EQ(picture.Width, c.Width) << c.Name;
    EXPECT_TRUE(picture.Pixels.empty()) << c.Name;
  }
}

}  // namespace
}  // namespace velmora
