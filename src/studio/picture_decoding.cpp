#include "studio/picture_decoding.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "wdf/entry_kind.h"

namespace velmora {
namespace {

// No single allocation of the decoder may be larger than the largest picture takes at sixteen
// bits a channel with a filter byte a row: whatever a damaged header or a compressed stream
// claims, it cannot reserve more.
constexpr size_t kMaxDecoderAllocation = static_cast<size_t>(kMaxPicturePixels) * 9;

// Zeroed: a damaged picture can make the decoder read memory it has not written (a scan through
// a code table the picture never defines), which then shows as black, not as whatever the memory
// held before.
void* BoundedAllocate(size_t size) {
  return size <= kMaxDecoderAllocation ? std::calloc(1, size) : nullptr;
}

void* BoundedReallocate(void* block, size_t size) {
  return size <= kMaxDecoderAllocation ? std::realloc(block, size) : nullptr;
}

}  // namespace
}  // namespace velmora

// The decoder's code lives in this file only, with its entry points private to it; its own
// warnings are not ours to mend, so they are silenced for its text alone.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#define STBI_MALLOC(size) velmora::BoundedAllocate(size)
#define STBI_REALLOC(block, size) velmora::BoundedReallocate(block, size)
#define STBI_FREE(block) std::free(block)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wtype-limits"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace velmora {
namespace {

// The entry's bytes as the decoder reads them, noting when it asks for more than there is: it
// would otherwise go on with zeros and show a damaged picture as a whole one.
struct EntryReader {
  const std::string* Bytes = nullptr;
  size_t At = 0;
  bool RanOut = false;
};

int ReadEntryBytes(void* user, char* data, int size) {
  auto* reader = static_cast<EntryReader*>(user);
  const size_t left = reader->Bytes->size() - reader->At;
  if (size <= 0) return 0;
  if (left == 0) {
    reader->RanOut = true;
    return 0;
  }
  const size_t count = std::min(left, static_cast<size_t>(size));
  std::memcpy(data, reader->Bytes->data() + reader->At, count);
  reader->At += count;
  return static_cast<int>(count);
}

void SkipEntryBytes(void* user, int count) {
  auto* reader = static_cast<EntryReader*>(user);
  const size_t left = reader->Bytes->size() - reader->At;
  if (count <= 0) return;
  if (static_cast<size_t>(count) > left) {
    reader->RanOut = true;
    reader->At = reader->Bytes->size();
  } else {
    reader->At += static_cast<size_t>(count);
  }
}

int AtEntryEnd(void* user) {
  const auto* reader = static_cast<const EntryReader*>(user);
  return reader->At >= reader->Bytes->size() ? 1 : 0;
}

const stbi_io_callbacks kEntryCallbacks = {ReadEntryBytes, SkipEntryBytes, AtEntryEnd};

unsigned Byte(const std::string& bytes, size_t at) { return static_cast<unsigned char>(bytes[at]); }

// Whether a plain TGA (true colour or grey, no palette, no runs) holds all its pixels. The decoder
// reads its pixels a row at a time and does not notice a row cut by the end of the entry. Only a
// TGA has a 0 in its second byte and one of these types in its third.
bool PlainTgaComplete(const std::string& bytes) {
  if (bytes.size() < 18 || Byte(bytes, 1) != 0 || (Byte(bytes, 2) != 2 && Byte(bytes, 2) != 3)) {
    return true;
  }
  const uint64_t width = Byte(bytes, 12) | Byte(bytes, 13) << 8;
  const uint64_t height = Byte(bytes, 14) | Byte(bytes, 15) << 8;
  const uint64_t pixel_bytes = (Byte(bytes, 16) + 7) / 8;
  return bytes.size() >= 18 + Byte(bytes, 0) + width * height * pixel_bytes;
}

// A colour-mapped TGA whose palette begins at an index other than 0 stores entries only from
// that index on; the decoder would take them as starting at 0. The same picture with as many
// black entries put before them reads the same with every index where it belongs. False when
// the longer palette would not fit the header's count.
bool PaletteFromIndexZero(const std::string& tga, std::string* normalised) {
  const unsigned first = Byte(tga, 3) | Byte(tga, 4) << 8;
  const unsigned length = Byte(tga, 5) | Byte(tga, 6) << 8;
  const unsigned entry_bytes = (Byte(tga, 7) + 7) / 8;
  if (first + length > 0xFFFF) return false;
  const size_t palette_at = 18 + Byte(tga, 0);
  *normalised = tga.substr(0, palette_at);
  (*normalised)[3] = (*normalised)[4] = 0;
  (*normalised)[5] = static_cast<char>((first + length) & 0xFF);
  (*normalised)[6] = static_cast<char>((first + length) >> 8);
  normalised->append(static_cast<size_t>(first) * entry_bytes, '\0');
  normalised->append(tga, palette_at, std::string::npos);
  return true;
}

// A BMP of up to 8 bits a pixel whose palette is shorter than its pixels can index: the decoder
// keeps the palette in memory it does not clear, so an index past the end would show whatever
// was there, differently each time. The same picture with the palette filled up to 256 black
// entries shows such pixels black, every time. A BMP whose pixels would begin before its palette
// leaves the decoder's palette entirely uncleared, and is damaged.
enum class BmpPalette { kAsIs, kFilled, kDamaged };

BmpPalette FillBmpPalette(const std::string& bmp, std::string* normalised) {
  if (bmp.size() < 30 || bmp[0] != 'B' || bmp[1] != 'M') return BmpPalette::kAsIs;
  const auto le32 = [&bmp](size_t at) {
    return static_cast<uint64_t>(Byte(bmp, at) | Byte(bmp, at + 1) << 8 | Byte(bmp, at + 2) << 16 |
                                 static_cast<uint32_t>(Byte(bmp, at + 3)) << 24);
  };
  const uint64_t header = le32(14);
  const bool core = header == 12;  // the oldest header: three bytes per palette entry
  const unsigned bits =
      core ? (Byte(bmp, 24) | Byte(bmp, 25) << 8) : (Byte(bmp, 28) | Byte(bmp, 29) << 8);
  if (bits > 8) return BmpPalette::kAsIs;
  const uint64_t offset = le32(10);
  // Where the decoder takes the palette to begin, and how many entries it counts before the pixels.
  const uint64_t counted_from = core ? 38 : 14 + header;
  const uint64_t palette_at = 14 + header;
  const uint64_t entry_bytes = core ? 3 : 4;
  if (offset < counted_from) return BmpPalette::kDamaged;
  const uint64_t entries = (offset - counted_from) / entry_bytes;
  if (entries == 0 || entries >= 256) return BmpPalette::kAsIs;  // none is refused, all is whole
  const uint64_t insert_at = palette_at + entries * entry_bytes;
  if (insert_at > bmp.size()) return BmpPalette::kAsIs;  // cut short: the decoder runs out
  const uint64_t added = (256 - entries) * entry_bytes;
  const uint64_t new_offset = offset + added;
  if (new_offset > 0xFFFFFFFFu) return BmpPalette::kDamaged;
  *normalised = bmp.substr(0, static_cast<size_t>(insert_at));
  for (int k = 0; k < 4; ++k) (*normalised)[10 + k] = static_cast<char>(new_offset >> (8 * k));
  normalised->append(static_cast<size_t>(added), '\0');
  normalised->append(bmp, static_cast<size_t>(insert_at), std::string::npos);
  return BmpPalette::kFilled;
}

// What the decoder leaves to us for a TGA: columns stored from the right (descriptor bit 4), and
// an alpha channel the descriptor does not announce (alpha bits 0), which writers fill with
// anything and which means an opaque picture.
void FinishTga(unsigned descriptor, uint32_t width, uint32_t height, uint8_t* rgba) {
  if (descriptor & 0x10) {
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = rgba + static_cast<size_t>(y) * width * 4;
      for (uint32_t left = 0, right = width - 1; left < right; ++left, --right) {
        std::swap_ranges(row + left * 4, row + left * 4 + 4, row + right * 4);
      }
    }
  }
  if ((descriptor & 0x0F) == 0) {
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t k = 0; k < count; ++k) rgba[k * 4 + 3] = 255;
  }
}

// Whether every Huffman table of a JPEG names at most 256 codes. The decoder lays out a
// table's code lengths in room for 256 without counting them first, so a table claiming more
// would write past it. The markers are walked as the decoder walks them: a segment by its
// length, the coded data of a scan up to the next marker, stray bytes between segments
// skipped one by one.
bool HuffmanTablesFit(const std::string& jpeg) {
  const size_t size = jpeg.size();
  size_t at = 0;
  while (at < size) {
    if (Byte(jpeg, at) != 0xFF) {
      ++at;
      continue;
    }
    while (at < size && Byte(jpeg, at) == 0xFF) ++at;
    if (at >= size) break;
    const unsigned marker = Byte(jpeg, at++);
    // Within a scan's data 0xFF 0x00 is a data byte; the start and restart markers stand alone.
    if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) continue;
    if (marker == 0xD9) break;  // end of image
    if (at + 2 > size) break;
    const size_t length = Byte(jpeg, at) << 8 | Byte(jpeg, at + 1);
    if (marker == 0xC4) {
      // Counts cut off by the end of the entry read as 0, as the decoder reads them.
      for (size_t table = at + 2; table < size && table < at + length;) {
        size_t codes = 0;
        for (size_t k = 1; k <= 16 && table + k < size; ++k) codes += Byte(jpeg, table + k);
        if (codes > 256) return false;
        table += 17 + codes;
      }
    }
    at += length;
  }
  return true;
}

// The bytes the decoder is given: the entry's own, or `normalised`, a copy that means the same to
// a reader of the format but that the decoder would misread without help: a TGA palette that does
// not begin at index 0, a BMP palette shorter than the colours it says it has, a run of fill bytes
// before a JPEG. Null for an entry that cannot be read.
const std::string* BytesForDecoder(const std::string& bytes, bool tga, std::string* normalised) {
  if (tga && Byte(bytes, 1) == 1 && (Byte(bytes, 3) | Byte(bytes, 4)) != 0) {
    return PaletteFromIndexZero(bytes, normalised) ? normalised : nullptr;
  }
  switch (FillBmpPalette(bytes, normalised)) {
    case BmpPalette::kDamaged:
      return nullptr;
    case BmpPalette::kFilled:
      return normalised;
    case BmpPalette::kAsIs:
      break;
  }
  // The decoder skips any number of fill bytes before a JPEG's start marker, but it can go back
  // to the start of the entry only within its first read: behind a longer run it would try the
  // next format, or decode the picture, from bytes further on. One 0xFF stands for the run.
  const size_t fill = std::min(bytes.find_first_not_of('\xFF'), bytes.size());
  if (fill <= 1) return &bytes;
  *normalised = bytes.substr(fill - 1);
  return normalised;
}

}  // namespace

PictureFailure DecodePicture(const std::string& bytes, DecodedPicture* picture,
                             uint64_t max_pixels) {
  *picture = DecodedPicture();
  const bool tga =
      DetectEntryKind(bytes.substr(0, kEntryKindSample), bytes.size()) == EntryKind::kTga;
  // The decoder takes a JPEG's start marker after any number of 0xFF bytes.
  if (!bytes.empty() && Byte(bytes, 0) == 0xFF && !HuffmanTablesFit(bytes)) {
    return PictureFailure::kUnreadable;
  }
  std::string normalised;
  const std::string* source = BytesForDecoder(bytes, tga, &normalised);
  if (!source) return PictureFailure::kUnreadable;

  // The size first, from the header alone, so that nothing is decoded for a picture too large.
  EntryReader header{source};
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_callbacks(&kEntryCallbacks, &header, &width, &height, &channels) ||
      width <= 0 || height <= 0) {
    return PictureFailure::kUnreadable;
  }
  picture->Width = static_cast<uint32_t>(width);
  picture->Height = static_cast<uint32_t>(height);
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > std::min(max_pixels, kMaxPicturePixels)) return PictureFailure::kTooLarge;
  if (!PlainTgaComplete(bytes)) return PictureFailure::kUnreadable;

  EntryReader reader{source};
  int decoded_width = 0, decoded_height = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_callbacks(&kEntryCallbacks, &reader, &decoded_width, &decoded_height,
                               &channels, 4),
      std::free);
  if (!rgba || reader.RanOut || decoded_width != width || decoded_height != height) {
    return PictureFailure::kUnreadable;
  }
  if (tga) FinishTga(Byte(bytes, 17), picture->Width, picture->Height, rgba.get());

  picture->Pixels.resize(static_cast<size_t>(pixels) * 4);
  const uint8_t* from = rgba.get();
  uint8_t* to = picture->Pixels.data();
  for (size_t k = 0; k < pixels; ++k, from += 4, to += 4) {
    const unsigned alpha = from[3];
    to[0] = static_cast<uint8_t>((from[2] * alpha + 127) / 255);
    to[1] = static_cast<uint8_t>((from[1] * alpha + 127) / 255);
    to[2] = static_cast<uint8_t>((from[0] * alpha + 127) / 255);
    to[3] = static_cast<uint8_t>(alpha);
  }
  return PictureFailure::kNone;
}

}  // namespace velmora
