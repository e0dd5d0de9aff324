#include "studio/tga_image.h"

namespace velmora {

namespace {

uint16_t U16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) |
                               (static_cast<uint8_t>(b[at + 1]) << 8));
}

// One pixel of `bits` bits at `p` as BGRA.
void PixelFrom(const uint8_t* p, int bits, uint8_t out[4]) {
  switch (bits) {
    case 8:
      out[0] = out[1] = out[2] = p[0];
      out[3] = 255;
      break;
    case 15:
    case 16: {
      const unsigned v = p[0] | (p[1] << 8);
      out[0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
      out[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
      out[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
      out[3] = 255;
      break;
    }
    case 24:
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = 255;
      break;
    default:  // 32
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = p[3];
      break;
  }
}

}  // namespace

bool DecodeTga(const std::string& bytes, BgraImage* image) {
  if (bytes.size() < 18) return false;
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t id_length = b[0];
  const int map_type = b[1];
  const int type = b[2];
  const size_t map_first = U16(bytes, 3);
  const size_t map_length = U16(bytes, 5);
  const int map_bits = b[7];
  const uint32_t width = U16(bytes, 12);
  const uint32_t height = U16(bytes, 14);
  const int bits = b[16];
  const int descriptor = b[17];
  const bool mapped = type == 1 || type == 9;
  const bool grey = type == 3 || type == 11;
  const bool rle = type >= 9;
  if (!(type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11)) return false;
  if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > kMaxDecodedPixels) {
    return false;
  }
  if (mapped ? (map_type != 1 || bits != 8 ||
                !(map_bits == 15 || map_bits == 16 || map_bits == 24 || map_bits == 32))
      : grey ? bits != 8
             : !(bits == 15 || bits == 16 || bits == 24 || bits == 32)) {
    return false;
  }
  size_t pos = 18 + id_length;
  std::vector<uint8_t> palette;
  if (map_type == 1) {
    const size_t entry_bytes = static_cast<size_t>((map_bits + 7) / 8);
    const size_t map_size = map_length * entry_bytes;
    if (pos + map_size > bytes.size()) return false;
    if (mapped) {
      palette.resize(map_length * 4);
      for (size_t k = 0; k < map_length; ++k)
        PixelFrom(b + pos + k * entry_bytes, map_bits, &palette[k * 4]);
    }
    pos += map_size;
  }
  const size_t pixel_bytes = static_cast<size_t>((bits + 7) / 8);
  const size_t count = static_cast<size_t>(width) * height;
  std::vector<uint8_t> pixels(count * 4);
  auto put = [&](size_t k, const uint8_t* p) {
    uint8_t* out = &pixels[k * 4];
    if (mapped) {
      const size_t index = p[0];
      if (index < map_first || index - map_first >= map_length) {
        out[0] = out[1] = out[2] = 0;
        out[3] = 255;
      } else {
        const uint8_t* entry = &palette[(index - map_first) * 4];
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
        out[3] = entry[3];
      }
    } else {
      PixelFrom(p, bits, out);
    }
  };
  for (size_t k = 0; k < count;) {
    if (!rle) {
      if (pos + pixel_bytes > bytes.size()) return false;
      put(k++, b + pos);
      pos += pixel_bytes;
      continue;
    }
    if (pos >= bytes.size()) return false;
    const uint8_t packet = b[pos++];
    const size_t run = static_cast<size_t>(packet & 0x7F) + 1;
    if (k + run > count) return false;
    if (packet & 0x80) {
      if (pos + pixel_bytes > bytes.size()) return false;
      for (size_t r = 0; r < run; ++r) put(k++, b + pos);
      pos += pixel_bytes;
    } else {
      if (pos + run * pixel_bytes > bytes.size()) return false;
      for (size_t r = 0; r < run; ++r, pos += pixel_bytes) put(k++, b + pos);
    }
  }
  // Rows are stored from the bottom unless bit 5 says from the top; columns from the left
  // unless bit 4 says from the right.
  const bool from_top = (descriptor & 0x20) != 0;
  const bool from_right = (descriptor & 0x10) != 0;
  image->Width = width;
  image->Height = height;
  image->Pixels.assign(count * 4, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t source_row = from_top ? y : height - 1 - y;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t source_column = from_right ? width - 1 - x : x;
      const size_t from = (static_cast<size_t>(source_row) * width + source_column) * 4;
      const size_t to = (static_cast<size_t>(y) * width + x) * 4;
      for (int c = 0; c < 4; ++c) image->Pixels[to + c] = pixels[from + c];
    }
  }
  const int alpha_bits = descriptor & 0x0F;
  image->HasAlpha = (mapped ? map_bits == 32 : bits == 32) && alpha_bits > 0;
  if (!image->HasAlpha) {
    for (size_t k = 0; k < count; ++k) image->Pixels[k * 4 + 3] = 255;
  }
  return true;
}

}  // namespace velmora
