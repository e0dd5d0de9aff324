#include "studio/preview_content.h"

#include "wdf/wdf.h"

namespace velmora {

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string* text, uint64_t value, int digits) {
  for (int d = digits - 1; d >= 0; --d) text->push_back(kHex[(value >> (4 * d)) & 0xF]);
}

// The length of the UTF-8 sequence starting at `at`, or 0 when it is not valid; `cut` is set
// when a valid beginning is cut off by the end of the bytes.
size_t Utf8SequenceLength(const std::string& bytes, size_t at, bool* cut) {
  const auto b = static_cast<uint8_t>(bytes[at]);
  size_t length = 0;
  uint32_t value = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    value = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    value = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    value = b & 0x07;
  } else {
    return 0;
  }
  for (size_t k = 1; k < length; ++k) {
    if (at + k >= bytes.size()) {
      *cut = true;
      return bytes.size() - at;
    }
    const auto c = static_cast<uint8_t>(bytes[at + k]);
    if ((c & 0xC0) != 0x80) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string HexDump(const std::string& bytes) {
  std::string text;
  for (size_t line = 0; line < bytes.size(); line += 16) {
    AppendHex(&text, line, 8);
    text += "  ";
    for (size_t k = 0; k < 16; ++k) {
      if (line + k < bytes.size()) {
        AppendHex(&text, static_cast<uint8_t>(bytes[line + k]), 2);
        text += ' ';
      } else {
        text += "   ";
      }
      if (k == 7) text += ' ';
    }
    text += ' ';
    for (size_t k = 0; k < 16 && line + k < bytes.size(); ++k) {
      const auto c = static_cast<uint8_t>(bytes[line + k]);
      text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    text += "\r\n";
  }
  return text;
}

TextEncoding PreviewTextEncoding(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    bool cut = false;
    const size_t length = Utf8SequenceLength(bytes, at, &cut);
    if (length == 0) return TextEncoding::kCp936;
    at += length;
  }
  return TextEncoding::kUtf8;
}

bool NestedArchiveCount(const std::string& head, uint32_t* count) {
  if (head.size() < kWdfHeaderSize) return false;
  const WdfHeader header = DecodeWdfHeader(reinterpret_cast<const unsigned char*>(head.data()));
  if (header.Magic != kWdfMagic) return false;
  *count = header.EntryCount;
  return true;
}

}  // namespace velmora
