// Texts that are part of the program itself are written in UTF-8; on Windows they are shown in
// the ANSI code page, like every other text the program handles.
#pragma once

#include <string>

namespace velmora {

// `utf8` in the system's ANSI code page (GBK under code page 936); in the active code page on POSIX
// hosts (unchanged while it is UTF-8). Characters the code page lacks become its default character.
std::string AnsiFromUtf8(const std::string& utf8);

// The other way: a text of the program (ANSI or active code page) in UTF-8, for output that must
// be UTF-8 whatever the system's code page.
std::string Utf8FromAnsi(const std::string& text);

}  // namespace velmora
