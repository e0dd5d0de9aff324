// The code page of the running program's texts: the system's ANSI code page until a program sets
// the script's (936 for GBK, 65001 for UTF-8), so that no text depends on the system's language.
// Its lead bytes, its character stepping, the user's locale for comparisons, and the
// conversions to and from UTF-16 at the edges.
#include <windows.h>

#include <atomic>
#include <vector>

#include "sys/code_page.h"

namespace velmora {

namespace {

std::atomic<UINT> g_active{CP_ACP};

// The active code page where the system's own ANSI calls step and compare the same way: there
// they are used, exactly as a program of the system's code page does.
bool ActiveIsSystemAnsi() {
  const UINT active = g_active.load();
  return active == CP_ACP || active == GetACP();
}

std::wstring WideFrom(UINT code_page, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], n);
  return wide;
}

std::string BytesFrom(UINT code_page, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, &text[0], n, nullptr, nullptr);
  return text;
}

// The comparison's locale and flags; its sort keys are made with the same ones.
constexpr DWORD kCompareFlags = NORM_IGNORECASE;

}  // namespace

void SetActiveCodePage(CodePage code_page) {
  g_active.store(code_page == CodePage::kGbk    ? 936u
                 : code_page == CodePage::kUtf8 ? CP_UTF8
                                                : CP_ACP);
}

CodePage ActiveCodePage() {
  const UINT active = g_active.load();
  return active == 936u      ? CodePage::kGbk
         : active == CP_UTF8 ? CodePage::kUtf8
                             : CodePage::kSystemAnsi;
}

std::wstring WideFromActiveCodePage(const std::string& text) {
  return WideFrom(g_active.load(), text);
}

std::string ActiveCodePageFromWide(const std::wstring& wide) {
  return BytesFrom(g_active.load(), wide);
}

std::string Utf8FromActiveCodePage(const std::string& text) {
  if (g_active.load() == CP_UTF8) return text;
  return BytesFrom(CP_UTF8, WideFromActiveCodePage(text));
}

std::string ActiveCodePageFromUtf8(const std::string& utf8) {
  if (g_active.load() == CP_UTF8) return utf8;
  return ActiveCodePageFromWide(WideFrom(CP_UTF8, utf8));
}

std::string SystemAnsiFromActiveCodePage(const std::string& text) {
  if (ActiveIsSystemAnsi()) return text;
  return BytesFrom(CP_ACP, WideFromActiveCodePage(text));
}

bool IsLeadByte(unsigned char byte) {
  const UINT active = g_active.load();
  if (active == CP_UTF8) return false;  // no continuation byte is ASCII: bytes step
  return IsDBCSLeadByteEx(active == CP_ACP ? GetACP() : active, byte) != FALSE;
}

size_t NextCharOffset(const std::string& text, size_t pos) {
  if (pos >= text.size()) return text.size();
  // The system stops at a zero byte; inside the text it is one character like any other.
  if (text[pos] == '\0') return pos + 1;
  if (!ActiveIsSystemAnsi()) {
    // As the system steps: a lead byte followed by the end or by a zero byte stands alone.
    const bool pair = IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() &&
                      text[pos + 1] != '\0';
    return pos + (pair ? 2 : 1);
  }
  const char* start = text.c_str();
  size_t next = static_cast<size_t>(CharNextA(start + pos) - start);
  if (next <= pos) return pos + 1;
  return next > text.size() ? text.size() : next;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (ActiveIsSystemAnsi()) {
    return CompareStringA(LOCALE_USER_DEFAULT, kCompareFlags, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
  }
  const std::wstring x = WideFromActiveCodePage(a);
  const std::wstring y = WideFromActiveCodePage(b);
  return CompareStringW(LOCALE_USER_DEFAULT, kCompareFlags, x.data(), static_cast<int>(x.size()),
                        y.data(), static_cast<int>(y.size())) == CSTR_EQUAL;
}

// The system's sort key, made with the comparison's flags: texts that the comparison finds equal
// have equal sort keys, and only they. The system makes no sort key of the empty text; it gets the
// empty key, which is never a sort key.
bool ComparisonKey(const std::string& text, std::string* key) {
  key->clear();
  if (text.empty()) return true;
  const DWORD flags = LCMAP_SORTKEY | kCompareFlags;
  if (ActiveIsSystemAnsi()) {
    const int length = static_cast<int>(text.size());
    const int needed = LCMapStringA(LOCALE_USER_DEFAULT, flags, text.data(), length, nullptr, 0);
    if (needed <= 0) return false;
    key->resize(static_cast<size_t>(needed));
    const int made =
        LCMapStringA(LOCALE_USER_DEFAULT, flags, text.data(), length, &(*key)[0], needed);
    if (made <= 0) return false;
    key->resize(static_cast<size_t>(made));
    return true;
  }
  const std::wstring wide = WideFromActiveCodePage(text);
  const int length = static_cast<int>(wide.size());
  // With LCMAP_SORTKEY the destination is a byte array, whatever its declared type.
  const int needed = LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  key->resize(static_cast<size_t>(needed));
  const int made = LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.data(), length,
                                reinterpret_cast<LPWSTR>(&(*key)[0]), needed);
  if (made <= 0) return false;
  key->resize(static_cast<size_t>(made));
  return true;
}

}  // namespace velmora
