#include "cli/json_text.h"

#include <cstdint>
#include <cstdio>

namespace velmora {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void AppendEscape(std::string* out, uint32_t unit) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(unit));
  *out += text;
}

// The code point at `*pos`, moving `*pos` past it; kReplacement for a byte that starts no valid
// sequence (only that byte is taken).
uint32_t NextCodePoint(const std::string& utf8, size_t* pos) {
  const unsigned char lead = static_cast<unsigned char>(utf8[*pos]);
  size_t length = 1;
  uint32_t code = lead;
  uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, min = 0x10000;
  } else if (lead >= 0x80) {
    ++*pos;
    return kReplacement;
  }
  if (*pos + length > utf8.size()) {
    ++*pos;
    return kReplacement;
  }
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(utf8[*pos + k]);
    if ((next & 0xC0u) != 0x80u) {
      ++*pos;
      return kReplacement;
    }
    code = code << 6 | (next & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++*pos;
    return kReplacement;
  }
  *pos += length;
  return code;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t pos = 0; pos < utf8.size();) {
    const uint32_t code = NextCodePoint(utf8, &pos);
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code == '\n') {
      out += "\\n";
    } else if (code == '\r') {
      out += "\\r";
    } else if (code == '\t') {
      out += "\\t";
    } else if (code >= 0x20 && code < 0x7F) {
      out += static_cast<char>(code);
    } else if (code <= 0xFFFF) {
      AppendEscape(&out, code);
    } else {
      AppendEscape(&out, 0xD800 + ((code - 0x10000) >> 10));
      AppendEscape(&out, 0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out + "\"";
}

}  // namespace velmora
