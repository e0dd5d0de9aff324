// The catalogue lives in the program's string table; LoadStringA delivers each text in the
// ANSI code page. Nothing is cached, so a translated resource set replaces every message.
#include <windows.h>

#include <vector>

#include "msg/catalogue.h"

namespace velmora {

std::string LoadMessage(MessageKey key) {
  if (CurrentMessageLanguage() == MessageLanguage::kEnglish) return EnglishMessage(key);
  HINSTANCE module = GetModuleHandleA(nullptr);
  // Most texts outgrow the first buffer, so the growing below is the path every message takes.
  std::vector<char> buffer(16);
  for (;;) {
    int length =
        LoadStringA(module, static_cast<UINT>(key), buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0) return std::string();  // no such string in the resources
    // A cut text fills the buffer up to its terminator, or leaves one byte free when the next
    // character has two bytes; with two bytes to spare the whole text has arrived.
    if (static_cast<size_t>(length) + 2 < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace velmora
