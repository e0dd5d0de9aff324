// The Studio's texts from the string table: Chinese when the person's interface language is
// Chinese, English otherwise; in the active code page, as every text of the window.
#pragma once

#include <string>
#include <initializer_list>

#include "msg/format.h"

namespace velmora {

enum class StudioText {
#define STUDIO_TEXT(key, id, zh, en) key = id,
#include "studio_texts.def"
#undef STUDIO_TEXT
};

// The English text of a key lies this far above the Chinese one in the string table.
constexpr int kEnglishTextOffset = 1000;

// The texts are Chinese (the user's interface language is), English otherwise.
bool InterfaceIsChinese();

std::string Text(StudioText key);
// The text with its fields filled (FillText).
std::string TextOf(StudioText key, std::initializer_list<FormatArg> args);

}  // namespace velmora
