// A decoded picture fitted to the room the preview has for it: the size it is shown at, and the
// smaller picture whose every pixel is the average of the pixels it covers, so that a reduced
// picture stays smooth while an enlarged one keeps its pixels sharp (the screen repeats them).
#pragma once

#include <cstdint>

#include "studio/picture_decoding.h"

namespace velmora {

struct ShownSize {
  uint32_t Width = 1;
  uint32_t Height = 1;
};

// The largest size of the picture's proportions that fits `room_width` x `room_height`,
// larger or smaller than the picture; at least one pixel each way.
ShownSize FitPicture(uint32_t width, uint32_t height, uint32_t room_width, uint32_t room_height);

// `picture` reduced to `width` x `height` (each at most the picture's own and at least 1): each
// pixel the average of the block of pixels it covers, colours with their alpha as they are
// stored (already multiplied), so that see-through pixels lend no colour to their neighbours.
DecodedPicture ReducePicture(const DecodedPicture& picture, uint32_t width, uint32_t height);

}  // namespace velmora
