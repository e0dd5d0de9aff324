// Texts that are part of the program itself are written in UTF-8; they are handled in the active
// code page of the run (sys/code_page.h), like every other text the program handles.
#pragma once

#include <string>

namespace velmora {

// `utf8` in the active code page (unchanged while it is UTF-8). Characters the code page lacks
// become its default character.
std::string AnsiFromUtf8(const std::string& utf8);

// The other way: a text of the program (active code page) in UTF-8, for output that must be UTF-8
// whatever the system's code page.
std::string Utf8FromAnsi(const std::string& text);

}  // namespace velmora
