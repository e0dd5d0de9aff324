// Fuzzes the decoding of an entry's picture for the Studio's preview.
//
// Input: the entry's bytes. Decoding never crashes and never reserves more than the size bound
// allows; a decoded picture has exactly its pixels, within the bound, with no colour brighter
// than its alpha lets it be; a refused one has none; and the same bytes without their last ones
// are refused or give the same picture, never one with pixels made up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plain_model.h"
#include "studio/picture_decoding.h"

using namespace velmora;

// Pictures of up to 512 x 512 pixels: the decoding of a larger one runs the same code longer, and
// the bound itself is the same comparison at any size.
constexpr uint64_t kFuzzedPixels = 512 * 512;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  DecodedPicture picture;
  const PictureFailure failure = DecodePicture(bytes, &picture, kFuzzedPixels);
  if (failure != PictureFailure::kNone) {
    FUZZ_CHECK(picture.Pixels.empty(), "a refused picture has %zu bytes of pixels",
               picture.Pixels.size());
    return 0;
  }
  const uint64_t pixels = static_cast<uint64_t>(picture.Width) * picture.Height;
  FUZZ_CHECK(pixels > 0 && pixels <= kFuzzedPixels, "%u x %u pixels decoded", picture.Width,
             picture.Height);
  FUZZ_CHECK(picture.Pixels.size() == pixels * 4, "%zu bytes for %u x %u pixels",
             picture.Pixels.size(), picture.Width, picture.Height);
  for (size_t k = 0; k < picture.Pixels.size(); k += 4) {
    const uint8_t alpha = picture.Pixels[k + 3];
    FUZZ_CHECK(picture.Pixels[k] <= alpha && picture.Pixels[k + 1] <= alpha &&
                   picture.Pixels[k + 2] <= alpha,
               "pixel %zu brighter than its alpha %u", k / 4, alpha);
  }
  // Cut by one to eight bytes, as the first byte says.
  const size_t cut = 1 + (size ? data[0] % 8 : 0);
  if (cut <= size) {
    DecodedPicture shorter;
    if (DecodePicture(bytes.substr(0, size - cut), &shorter, kFuzzedPixels) ==
        PictureFailure::kNone) {
      FUZZ_CHECK(shorter.Width == picture.Width && shorter.Height == picture.Height &&
                     shorter.Pixels == picture.Pixels,
                 "%zu bytes fewer give another picture", cut);
    }
  }
  return 0;
}
