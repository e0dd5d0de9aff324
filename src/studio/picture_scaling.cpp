#include "studio/picture_scaling.h"

#include <algorithm>

namespace velmora {

ShownSize FitPicture(uint32_t width, uint32_t height, uint32_t room_width, uint32_t room_height) {
  ShownSize shown;
  if (width == 0 || height == 0) return shown;
  room_width = std::max<uint32_t>(1, room_width);
  room_height = std::max<uint32_t>(1, room_height);
  if (static_cast<uint64_t>(width) * room_height > static_cast<uint64_t>(height) * room_width) {
    shown.Width = room_width;
    shown.Height = static_cast<uint32_t>(
        std::max<uint64_t>(1, static_cast<uint64_t>(height) * room_width / width));
  } else {
    shown.Height = room_height;
    shown.Width = static_cast<uint32_t>(
        std::max<uint64_t>(1, static_cast<uint64_t>(width) * room_height / height));
  }
  return shown;
}

DecodedPicture ReducePicture(const DecodedPicture& picture, uint32_t width, uint32_t height) {
  DecodedPicture reduced;
  reduced.Width = std::max<uint32_t>(1, std::min(width, picture.Width));
  reduced.Height = std::max<uint32_t>(1, std::min(height, picture.Height));
  reduced.Pixels.resize(static_cast<size_t>(reduced.Width) * reduced.Height * 4);
  // The block of source pixels behind each reduced pixel: from k * size / reduced up to
  // (k + 1) * size / reduced, never empty.
  auto block = [](uint32_t k, uint32_t size, uint32_t reduced_size, uint32_t* from, uint32_t* to) {
    *from = static_cast<uint32_t>(static_cast<uint64_t>(k) * size / reduced_size);
    *to = static_cast<uint32_t>(static_cast<uint64_t>(k + 1) * size / reduced_size);
    *to = std::max(*to, *from + 1);
  };
  for (uint32_t y = 0; y < reduced.Height; ++y) {
    uint32_t top = 0, bottom = 0;
    block(y, picture.Height, reduced.Height, &top, &bottom);
    for (uint32_t x = 0; x < reduced.Width; ++x) {
      uint32_t left = 0, right = 0;
      block(x, picture.Width, reduced.Width, &left, &right);
      uint64_t sums[4] = {0, 0, 0, 0};
      for (uint32_t sy = top; sy < bottom; ++sy) {
        const uint8_t* row = &picture.Pixels[(static_cast<size_t>(sy) * picture.Width) * 4];
        for (uint32_t sx = left; sx < right; ++sx) {
          for (int c = 0; c < 4; ++c) sums[c] += row[sx * 4 + c];
        }
      }
      const uint64_t count = static_cast<uint64_t>(bottom - top) * (right - left);
      uint8_t* out = &reduced.Pixels[(static_cast<size_t>(y) * reduced.Width + x) * 4];
      for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>((sums[c] + count / 2) / count);
    }
  }
  return reduced;
}

}  // namespace velmora
