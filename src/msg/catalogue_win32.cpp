// The catalogue lives in the program's string table; each text is loaded as UTF-16 and given in
// the active code page, whatever the system's ANSI code page. Nothing is cached, so a translated
// resource set replaces every message.
#include <windows.h>

#include "msg/catalogue.h"
#include "sys/code_page.h"

namespace velmora {

std::string LoadMessage(MessageKey key) {
  if (CurrentMessageLanguage() == MessageLanguage::kEnglish) return EnglishMessage(key);
  // With no buffer the system hands out where the text lies in the resources, and its length.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(key),
                                 reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::string();  // no such string in the resources
  return ActiveCodePageFromWide(std::wstring(text, static_cast<size_t>(length)));
}

MessageLanguage UserInterfaceLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? MessageLanguage::kChinese
                                                                   : MessageLanguage::kEnglish;
}

}  // namespace velmora
