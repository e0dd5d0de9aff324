// Pictures of entries turned into pixels for the preview: TGA (true colour, grey and
// colour-mapped, plain or run-length encoded), PNG, JPEG, BMP, GIF (its first frame) and PSD
// (its composite image), all through one well-kept decoder, with a size bound checked before
// anything is decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// 32-bit pixels as the screen composes them: blue, green, red, alpha, with the colours already
// multiplied by the alpha; rows from the top.
struct DecodedPicture {
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint8_t> Pixels;  // Width * Height * 4 bytes
};

enum class PictureFailure {
  kNone,
  kUnreadable,  // not a picture this decoder reads, damaged, or its data ends early
  kTooLarge,    // its header asks for more than kMaxPicturePixels
};

// The largest picture decoded, in pixels (4096 x 4096). A header asking for more is refused
// before decoding, so that a hostile entry cannot take the Studio's memory: decoding needs up
// to eight bytes a pixel on the way, and the Studio is a 32-bit program.
constexpr uint64_t kMaxPicturePixels = 16u * 1024 * 1024;

// Decodes `bytes`, the whole of an entry, refusing a picture of more than `max_pixels` (at most
// kMaxPicturePixels). A picture whose data ends early is refused rather than shown with what is
// missing made up. On a failure `picture` holds the size the header gave, when it gave one, and
// no pixels.
PictureFailure DecodePicture(const std::string& bytes, DecodedPicture* picture,
                             uint64_t max_pixels = kMaxPicturePixels);

}  // namespace velmora
