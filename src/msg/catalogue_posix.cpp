// POSIX hosts have no string resources: the catalogue list is compiled in, with its UTF-8
// texts as they are written, and delivered in the active code page like the other texts.
#include "msg/ansi_text.h"
#include "msg/catalogue.h"

namespace velmora {

std::string LoadMessage(MessageKey key) {
  if (CurrentMessageLanguage() == MessageLanguage::kEnglish) return EnglishMessage(key);
  switch (key) {
#define VELMORA_MESSAGE(name, id, chinese, english) \
  case MessageKey::name:                            \
    return AnsiFromUtf8(chinese);
#include "catalogue.def"
#undef VELMORA_MESSAGE
  }
  return std::string();
}

}  // namespace velmora
