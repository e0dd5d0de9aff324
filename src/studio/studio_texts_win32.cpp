#include "studio/studio_texts_win32.h"

#include <windows.h>

#include <vector>

#include "msg/catalogue.h"
#include "studio/text_fill.h"

namespace velmora {

bool InterfaceIsChinese() {
  static const bool chinese = UserInterfaceLanguage() == MessageLanguage::kChinese;
  return chinese;
}

std::string Text(StudioText key) {
  const UINT id = static_cast<UINT>(key) + (InterfaceIsChinese() ? 0 : kEnglishTextOffset);
  char buffer[1024];
  const int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string TextOf(StudioText key, std::initializer_list<FormatArg> args) {
  std::vector<std::string> texts;
  for (const FormatArg& arg : args) {
    texts.push_back(arg.IsText() ? arg.Text() : std::to_string(arg.Number()));
  }
  return FillText(Text(key), texts);
}

}  // namespace velmora
