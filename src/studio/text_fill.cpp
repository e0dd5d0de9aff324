#include "studio/text_fill.h"

namespace velmora {

std::string FillText(const std::string& text, const std::vector<std::string>& arguments) {
  std::string filled;
  size_t next = 0;  // the argument the next "%s" takes
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '%' || at + 1 == text.size()) {
      filled += text[at];
      continue;
    }
    const char after = text[at + 1];
    if (after == '%') {
      filled += '%';
      ++at;
    } else if (after == 's') {
      if (next < arguments.size()) filled += arguments[next];
      ++next;
      ++at;
    } else if (after >= '1' && after <= '9' && at + 3 < text.size() && text[at + 2] == '$' &&
               text[at + 3] == 's') {
      const size_t wanted = static_cast<size_t>(after - '1');
      if (wanted < arguments.size()) filled += arguments[wanted];
      at += 3;
    } else {
      filled += '%';
    }
  }
  return filled;
}

}  // namespace velmora
