#include "cli/console.h"

namespace velmora {

bool LocaleIsChinese(const std::vector<const char*>& values) {
  for (const char* value : values) {
    if (value == nullptr || *value == '\0') continue;
    return value[0] == 'z' && value[1] == 'h';
  }
  return false;
}

}  // namespace velmora
