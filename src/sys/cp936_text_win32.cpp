// Windows hands out names in the active code page (the system's ANSI one, or the script's); the
// names go through UTF-16 so that any of them converts, and a name the listing could only give
// with '?' in place of a character is refused.
#include <windows.h>

#include <vector>

#include "sys/code_page.h"
#include "sys/cp936_text.h"

namespace velmora {

bool Cp936FromPathText(const std::string& text, std::string* cp936) {
  if (text.empty()) {
    cp936->clear();
    return true;
  }
  if (text.find('?') != std::string::npos) return false;
  const std::wstring wide = WideFromActiveCodePage(text);
  // A byte sequence of no character of the code page arrives as the replacement character.
  if (wide.empty() || wide.find(L'\xFFFD') != std::wstring::npos) return false;
  const int wide_length = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length,
                                         nullptr, 0, nullptr, &used_default);
  if (length <= 0 || used_default) return false;
  std::vector<char> bytes(length);
  WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length, bytes.data(), length,
                      nullptr, &used_default);
  if (used_default) return false;
  cp936->assign(bytes.data(), bytes.size());
  return true;
}

}  // namespace velmora
