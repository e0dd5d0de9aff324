// The searches that only need character stepping; the stepping itself belongs to the platform.
#include "sys/code_page.h"

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

}  // namespace velmora
