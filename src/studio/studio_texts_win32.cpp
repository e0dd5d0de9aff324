#include "studio/studio_texts_win32.h"

#include <windows.h>

#include <vector>

#include "msg/catalogue.h"
#include "studio/text_fill.h"
#include "sys/code_page.h"

namespace velmora {

bool InterfaceIsChinese() {
  static const bool chinese = UserInterfaceLanguage() == MessageLanguage::kChinese;
  return chinese;
}

std::string Text(StudioText key) {
  const UINT id = static_cast<UINT>(key) + (InterfaceIsChinese() ? 0 : kEnglishTextOffset);
  // Read as the string table holds it, in UTF-16, so that no text passes through the system's
  // ANSI code page on its way to the window's.
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (n <= 0 || !text) return std::string();
  return ActiveCodePageFromWide(std::wstring(text, static_cast<size_t>(n)));
}

std::string TextOf(StudioText key, std::initializer_list<FormatArg> args) {
  std::vector<std::string> texts;
  for (const FormatArg& arg : args) {
    texts.push_back(arg.IsText() ? arg.Text() : std::to_string(arg.Number()));
  }
  return FillText(Text(key), texts);
}

}  // namespace velmora
