// Windows hands out names in the ANSI code page, which is 936 on the target systems; the names
// go through UTF-16 so that any other ANSI code page converts too, and a name the listing could
// only give with '?' in place of a character is refused.
#include <windows.h>

#include <vector>

#include "sys/cp936_text.h"

namespace velmora {

bool Cp936FromPathText(const std::string& text, std::string* cp936) {
  if (text.empty()) {
    cp936->clear();
    return true;
  }
  if (text.find('?') != std::string::npos) return false;
  const int size = static_cast<int>(text.size());
  const int wide_length =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wide_length <= 0) return false;
  std::vector<wchar_t> wide(wide_length);
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wide_length);
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
