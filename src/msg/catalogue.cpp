// What both platforms share: the chosen language and the English texts, which only the terminal
// tool shows and which therefore live in the program rather than in the string table.
#include "msg/catalogue.h"

#include "msg/ansi_text.h"

namespace velmora {
namespace {

MessageLanguage g_language = MessageLanguage::kChinese;

}  // namespace

void SetMessageLanguage(MessageLanguage language) { g_language = language; }

MessageLanguage CurrentMessageLanguage() { return g_language; }

std::string EnglishMessage(MessageKey key) {
  switch (key) {
#define VELMORA_MESSAGE(name, id, chinese, english) \
  case MessageKey::name:                            \
    return AnsiFromUtf8(english);
#include "catalogue.def"
#undef VELMORA_MESSAGE
  }
  return std::string();
}

}  // namespace velmora
