// The program's message catalogue. The keys and texts are written once, in res/catalogue.def;
// the same list becomes the string table of Velmora.exe and this enumeration.
#pragma once

#include <string>

namespace velmora {

enum class MessageKey : unsigned {
#define VELMORA_MESSAGE(key, id, chinese, english) key = id,
#include "catalogue.def"
#undef VELMORA_MESSAGE
};

// The language of the catalogue's texts. Velmora.exe never changes it and shows the Chinese
// texts of its string table; the terminal tool follows the user's locale.
enum class MessageLanguage { kChinese, kEnglish };
void SetMessageLanguage(MessageLanguage language);
MessageLanguage CurrentMessageLanguage();

// The catalogue text for `key` in the ANSI code page: in Chinese fetched anew from the program's
// string resources every time, in English from the list compiled in; the empty text when the
// catalogue lacks the key.
std::string LoadMessage(MessageKey key);

// The English text of `key` (in the ANSI code page), whatever the current language.
std::string EnglishMessage(MessageKey key);

}  // namespace velmora
