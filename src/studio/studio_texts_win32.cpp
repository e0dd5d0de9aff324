#include "studio/studio_texts_win32.h"

#include <windows.h>

#include "msg/catalogue.h"

namespace velmora {

namespace {

bool InterfaceIsChinese() {
  static const bool chinese = UserInterfaceLanguage() == MessageLanguage::kChinese;
  return chinese;
}

}  // namespace

std::string Text(StudioText key) {
  const UINT id = static_cast<UINT>(key) + (InterfaceIsChinese() ? 0 : kEnglishTextOffset);
  char buffer[1024];
  const int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string TextOf(StudioText key, std::initializer_list<FormatArg> args) {
  return FormatText(Text(key), args);
}

}  // namespace velmora
