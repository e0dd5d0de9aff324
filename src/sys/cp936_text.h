// Scripts are written as on Windows, in code page 936, whatever system writes them; the names
// the file system gives (UTF-8 on Linux, the ANSI code page on Windows) are converted here.
#pragma once

#include <string>

namespace velmora {

// `text` (a path or a name as the file system gives it) in code page 936. False when a
// character has no form there or the text is not valid in the file system's encoding.
bool Cp936FromPathText(const std::string& text, std::string* cp936);

}  // namespace velmora
