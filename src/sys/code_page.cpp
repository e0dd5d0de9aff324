// The searches that only need character stepping; the stepping itself belongs to the platform.
#include "sys/code_page.h"

#include <cstdint>
#include <cstring>

namespace velmora {

size_t FindChar(const std::string& text, char ch, size_t from) {
  for (size_t pos = from; pos < text.size(); pos = NextCharOffset(text, pos)) {
    if (text[pos] == ch && NextCharOffset(text, pos) == pos + 1) return pos;
  }
  return std::string::npos;
}

size_t FindLastCharOf(const std::string& text, const char* chars) {
  size_t last = std::string::npos;
  for (size_t pos = 0; pos < text.size(); pos = NextCharOffset(text, pos)) {
    if (text[pos] != '\0' && std::strchr(chars, text[pos]) != nullptr &&
        NextCharOffset(text, pos) == pos + 1) {
      last = pos;
    }
  }
  return last;
}

std::string FoldedAsciiKey(const std::string& text) {
  std::string key = text;
  for (size_t pos = 0; pos < key.size();) {
    const size_t next = NextCharOffset(key, pos);
    if (next == pos + 1 && key[pos] >= 'a' && key[pos] <= 'z') {
      key[pos] = static_cast<char>(key[pos] - 'a' + 'A');
    }
    pos = next;
  }
  return key;
}

bool EqualFoldingAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  // Both texts are stepped by characters: a letter byte that is the second half of a
  // double-byte character is not a letter, so its case must match exactly.
  size_t pos = 0;
  while (pos < a.size()) {
    const size_t next = NextCharOffset(a, pos);
    if (NextCharOffset(b, pos) != next) return false;
    if (next == pos + 1) {
      char x = a[pos] >= 'a' && a[pos] <= 'z' ? static_cast<char>(a[pos] - 'a' + 'A') : a[pos];
      char y = b[pos] >= 'a' && b[pos] <= 'z' ? static_cast<char>(b[pos] - 'a' + 'A') : b[pos];
      if (x != y) return false;
    } else if (a.compare(pos, next - pos, b, pos, next - pos) != 0) {
      return false;
    }
    pos = next;
  }
  return true;
}

bool IsValidUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t length;
    uint32_t min;
    uint32_t code;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

CodePage CodePageOfScript(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return CodePage::kUtf8;
  return IsValidUtf8(bytes) ? CodePage::kUtf8 : CodePage::kGbk;
}

}  // namespace velmora
