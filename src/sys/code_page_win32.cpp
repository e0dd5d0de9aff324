// The ANSI code page of the running system: its lead bytes, its character stepping and the
// user's locale for comparisons.
#include <windows.h>

#include "sys/code_page.h"

namespace velmora {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

size_t NextCharOffset(const std::string& text, size_t pos) {
  if (pos >= text.size()) return text.size();
  // The system stops at a zero byte; inside the text it is one character like any other.
  if (text[pos] == '\0') return pos + 1;
  const char* start = text.c_str();
  size_t next = static_cast<size_t>(CharNextA(start + pos) - start);
  if (next <= pos) return pos + 1;
  return next > text.size() ? text.size() : next;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace velmora
