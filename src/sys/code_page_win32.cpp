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

namespace {

// The comparison's locale and flags; its sort keys are made with the same ones.
constexpr DWORD kCompareFlags = NORM_IGNORECASE;

}  // namespace

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, kCompareFlags, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The system's sort key, made with the comparison's flags: texts that the comparison finds equal
// have equal sort keys, and only they. The system makes no sort key of the empty text; it gets the
// empty key, which is never a sort key.
bool ComparisonKey(const std::string& text, std::string* key) {
  key->clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int needed = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | kCompareFlags, text.data(),
                                  length, nullptr, 0);
  if (needed <= 0) return false;
  key->resize(static_cast<size_t>(needed));
  const int made = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | kCompareFlags, text.data(),
                                length, &(*key)[0], needed);
  if (made <= 0) return false;
  key->resize(static_cast<size_t>(made));
  return true;
}

}  // namespace velmora
