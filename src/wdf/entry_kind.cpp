#include "wdf/entry_kind.h"

#include <algorithm>
#include <cstring>

#include "wdf/archive_index.h"

namespace velmora {

namespace {

unsigned Byte(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }
uint32_t Uint16At(const std::string& s, size_t i) { return Byte(s, i) | Byte(s, i + 1) << 8; }
uint32_t Uint32At(const std::string& s, size_t i) {
  return Uint16At(s, i) | Uint16At(s, i + 2) << 16;
}
bool StartsWith(const std::string& s, const char* prefix, size_t at = 0) {
  const size_t n = std::strlen(prefix);
  return s.size() >= at + n && s.compare(at, n, prefix) == 0;
}

bool IsBmp(const std::string& h) {
  if (!StartsWith(h, "BM") || h.size() < 18) return false;
  // The size of the picture's info header names one of the known layouts.
  switch (Uint32At(h, 14)) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      return true;
    default:
      return false;
  }
}

bool IsMp3(const std::string& h) {
  if (h.size() >= 5 && StartsWith(h, "ID3")) {
    return Byte(h, 3) >= 2 && Byte(h, 3) <= 4 && Byte(h, 4) != 0xFF;
  }
  if (h.size() < 4 || Byte(h, 0) != 0xFF || (Byte(h, 1) & 0xE0) != 0xE0) return false;
  const unsigned version = (Byte(h, 1) >> 3) & 3, layer = (Byte(h, 1) >> 1) & 3;
  const unsigned bitrate = Byte(h, 2) >> 4, rate = (Byte(h, 2) >> 2) & 3;
  return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

// A picture of this format has no magic number: only a header whose every field holds one of
// its few allowed values, and an entry large enough for the pixels it announces, counts.
bool IsTga(const std::string& h, uint64_t entry_size) {
  if (h.size() < 18) return false;
  const unsigned id_length = Byte(h, 0), map_type = Byte(h, 1), type = Byte(h, 2);
  const unsigned map_length = Uint16At(h, 5), map_bits = Byte(h, 7);
  const unsigned width = Uint16At(h, 12), height = Uint16At(h, 14);
  const unsigned depth = Byte(h, 16), descriptor = Byte(h, 17);
  const bool mapped = type == 1 || type == 9;
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
  if (map_type > 1 || mapped != (map_type == 1)) return false;
  if (map_type == 0 && (Uint16At(h, 3) != 0 || map_length != 0 || map_bits != 0)) return false;
  if (map_type == 1 &&
      (map_length == 0 || (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32))) {
    return false;
  }
  if (width == 0 || height == 0 || (descriptor & 0xC0) != 0) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  const uint64_t map_bytes =
      map_type == 1 ? static_cast<uint64_t>(map_length) * ((map_bits + 7) / 8) : 0;
  uint64_t least = 18 + id_length + map_bytes;
  // Run-length coded pictures may be smaller than their pixels; plain ones cannot.
  if (type <= 3) least += static_cast<uint64_t>(width) * height * ((depth + 7) / 8);
  return entry_size >= least;
}

// Length of the character of an encoding at `i`: 0 when the bytes there are not one; a
// sequence cut by the end of a sample that is not the whole entry counts as complete.
using CharLength = size_t (*)(const std::string& s, size_t i, bool cut);

size_t AsciiTextLength(unsigned b) {
  return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
}

size_t Utf8Length(const std::string& s, size_t i, bool cut) {
  const unsigned b = Byte(s, i);
  if (b < 0x80) return AsciiTextLength(b);
  const size_t n = b >= 0xC2 && b <= 0xDF   ? 2
                   : b >= 0xE0 && b <= 0xEF ? 3
                   : b >= 0xF0 && b <= 0xF4 ? 4
                                            : 0;
  if (n == 0) return 0;
  for (size_t k = 1; k < n; ++k) {
    if (i + k >= s.size()) return cut ? s.size() - i : 0;
    if ((Byte(s, i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

size_t Cp936Length(const std::string& s, size_t i, bool cut) {
  const unsigned b = Byte(s, i);
  if (b < 0x80) return AsciiTextLength(b);
  if (b < 0x81 || b > 0xFE) return 0;
  if (i + 1 >= s.size()) return cut ? 1 : 0;
  const unsigned t = Byte(s, i + 1);
  return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE) ? 2 : 0;
}

bool IsTextIn(const std::string& h, bool cut, CharLength length) {
  for (size_t i = 0; i < h.size();) {
    const size_t n = length(h, i, cut);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace

EntryKind DetectEntryKind(const std::string& h, uint64_t entry_size) {
  if (entry_size == 0) return EntryKind::kEmpty;
  if (StartsWith(h, "PFDW") && h.size() >= kWdfHeaderSize) return EntryKind::kWdf;
  if (StartsWith(h, "\x89PNG\r\n\x1A\n")) return EntryKind::kPng;
  if (StartsWith(h, "GIF87a") || StartsWith(h, "GIF89a")) return EntryKind::kGif;
  if (StartsWith(h, "\xFF\xD8\xFF")) return EntryKind::kJpg;
  if (IsBmp(h)) return EntryKind::kBmp;
  if (StartsWith(h, "RIFF") && StartsWith(h, "WAVE", 8)) return EntryKind::kWav;
  if (StartsWith(h, "OggS") && h.size() > 4 && h[4] == 0) return EntryKind::kOgg;
  if (IsMp3(h)) return EntryKind::kMp3;
  if (IsTga(h, entry_size)) return EntryKind::kTga;
  const bool cut = h.size() < entry_size;
  if (!h.empty() && (IsTextIn(h, cut, Utf8Length) || IsTextIn(h, cut, Cp936Length))) {
    return EntryKind::kText;
  }
  return EntryKind::kData;
}

bool ReadEntryKind(Stream& stream, const WdfEntry& entry, uint64_t file_size, EntryKind* kind) {
  if (!EntryBytesInFile(entry, file_size)) {
    *kind = EntryKind::kOutOfBounds;
    return true;
  }
  if (entry.Size == 0) {
    *kind = EntryKind::kEmpty;
    return true;
  }
  std::string head(std::min<uint64_t>(entry.Size, kEntryKindSample), '\0');
  if (!stream.Seek(entry.Offset) || stream.Read(&head[0], head.size()) != head.size()) {
    return false;
  }
  *kind = DetectEntryKind(head, entry.Size);
  return true;
}

const char* EntryKindName(EntryKind kind) {
  switch (kind) {
    case EntryKind::kBmp:
      return "bmp";
    case EntryKind::kPng:
      return "png";
    case EntryKind::kJpg:
      return "jpg";
    case EntryKind::kGif:
      return "gif";
    case EntryKind::kTga:
      return "tga";
    case EntryKind::kWav:
      return "wav";
    case EntryKind::kOgg:
      return "ogg";
    case EntryKind::kMp3:
      return "mp3";
    case EntryKind::kWdf:
      return "wdf";
    case EntryKind::kText:
      return "text";
    case EntryKind::kData:
      return "data";
    case EntryKind::kEmpty:
      return "empty";
    case EntryKind::kOutOfBounds:
      return "out-of-bounds";
  }
  return "data";
}

const char* EntryKindDisplayName(EntryKind kind, bool chinese) {
  if (!chinese) return EntryKindName(kind);
  switch (kind) {
    case EntryKind::kText:
      return "文本";
    case EntryKind::kData:
      return "数据";
    case EntryKind::kEmpty:
      return "空";
    case EntryKind::kOutOfBounds:
      return "越界";
    default:
      return EntryKindName(kind);
  }
}

const char* EntryKindExtension(EntryKind kind) {
  switch (kind) {
    case EntryKind::kText:
      return "txt";
    case EntryKind::kData:
      return "bin";
    case EntryKind::kEmpty:
      return "dat";
    case EntryKind::kOutOfBounds:
      return "";
    default:
      return EntryKindName(kind);
  }
}

}  // namespace velmora
