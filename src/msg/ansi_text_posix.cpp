#include "msg/ansi_text.h"

namespace velmora {

std::string AnsiFromUtf8(const std::string& utf8) { return utf8; }

}  // namespace velmora
