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

// The language of the catalogue's texts: Chinese (the string table of Velmora.exe) until a
// program chooses. The terminal tool on POSIX follows the user's locale.
enum class MessageLanguage { kChinese, kEnglish };
void SetMessageLanguage(MessageLanguage language);
MessageLanguage CurrentMessageLanguage();

#if defined(_WIN32)
// The one rule of every Windows program for its language: Chinese when the user's interface
// language is Chinese, English otherwise.
MessageLanguage UserInterfaceLanguage();
#endif

// The catalogue text for `key` in the active code page: in Chinese fetched anew from the program's
// string resources every time, in English from the list compiled in; the empty text when the
// catalogue lacks the key.
std::string LoadMessage(MessageKey key);

// The English text of `key` (in the active code page), whatever the current language.
std::string EnglishMessage(MessageKey key);

}  // namespace velmora
