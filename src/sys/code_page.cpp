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

bool EqualFoldingAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace velmora
