// Pictures the system's decoders do not read: TGA (true colour, grey and colour-mapped, plain
// or run-length encoded), decoded to 32-bit BGRA rows from the top with their alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct BgraImage {
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint8_t> Pixels;  // Width * Height * 4 bytes: blue, green, red, alpha; top row first
  bool HasAlpha = false;        // the file gave an alpha channel
};

// The largest picture decoded, in pixels; a header asking for more is refused rather than
// allowed to take the memory it names.
constexpr uint64_t kMaxDecodedPixels = 64u * 1024 * 1024;

// Decodes `bytes` as a TGA picture. False when the header is not one this decoder reads or the
// data ends early (what arrived before stays undecoded: no partial picture is shown).
bool DecodeTga(const std::string& bytes, BgraImage* image);

}  // namespace velmora
