#include "msg/ansi_text.h"

#include "sys/code_page.h"

namespace velmora {

// The program's own texts follow the code page of the run, so that a message and the paths it
// quotes are in one encoding.
std::string AnsiFromUtf8(const std::string& utf8) { return ActiveCodePageFromUtf8(utf8); }

std::string Utf8FromAnsi(const std::string& text) { return Utf8FromActiveCodePage(text); }

}  // namespace velmora
