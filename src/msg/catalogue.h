// The program's message catalogue. The keys and texts are written once, in res/catalogue.def;
// the same list becomes the string table of Velmora.exe and this enumeration.
#pragma once

#include <string>

namespace velmora {

enum class MessageKey : unsigned {
#define VELMORA_MESSAGE(key, id, text) key = id,
#include "catalogue.def"
#undef VELMORA_MESSAGE
};

// The catalogue text for `key`, fetched anew from the program's string resources every time in
// the ANSI code page; the empty text when the resources lack the key.
std::string LoadMessage(MessageKey key);

}  // namespace velmora
