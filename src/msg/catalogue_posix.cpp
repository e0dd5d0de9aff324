// POSIX hosts have no string resources: the catalogue list is compiled in, with its UTF-8
// texts as they are written.
#include "msg/catalogue.h"

namespace velmora {

std::string LoadMessage(MessageKey key) {
  switch (key) {
#define VELMORA_MESSAGE(name, id, text) \
  case MessageKey::name:                \
    return text;
#include "catalogue.def"
#undef VELMORA_MESSAGE
  }
  return std::string();
}

}  // namespace velmora
