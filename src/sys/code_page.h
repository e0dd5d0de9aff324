// Character stepping and comparison in the system's ANSI code page.
//
// Every text the program handles (script lines, paths, messages) is a byte string in the ANSI
// code page. Searches for separators, '=', '\\' or escapes must step whole characters, so that
// the second byte of a double-byte character is never taken for one of them.
#pragma once

#include <cstddef>
#include <string>

namespace velmora {

// True when `byte` starts a double-byte character in the active code page.
bool IsLeadByte(unsigned char byte);

// Offset of the character that follows the one starting at `pos`; never beyond text.size().
// A lead byte at the very end of the text counts as one character of its own.
size_t NextCharOffset(const std::string& text, size_t pos);

// Offset of the first character equal to the single-byte `ch` at or after `from`, stepping by
// characters; std::string::npos when there is none.
size_t FindChar(const std::string& text, char ch, size_t from = 0);

// Offset of the last character equal to one of `chars` (single-byte characters), stepping by
// characters; std::string::npos when there is none.
size_t FindLastCharOf(const std::string& text, const char* chars);

// The platform's locale-aware comparison for the user's default locale, ignoring case, over the
// full lengths of both texts.
bool EqualIgnoringCase(const std::string& a, const std::string& b);

// A key of `text` for EqualIgnoringCase: two texts compare equal exactly when their keys are
// equal, so that texts can be looked up in a map instead of being compared one by one. False
// when the system cannot make the key (the text must then be compared by EqualIgnoringCase).
bool ComparisonKey(const std::string& text, std::string* key);

// The key of EqualFoldingAscii: the text with every ASCII letter a-z that is a character of its
// own turned into A-Z. Character boundaries stay where they were, so equal keys mean equal texts
// under that comparison and no others.
std::string FoldedAsciiKey(const std::string& text);

// Equality with only the ASCII letters a-z that are characters of their own folded to A-Z; every
// other byte, the bytes of double-byte characters included, must be identical.
bool EqualFoldingAscii(const std::string& a, const std::string& b);

#if !defined(_WIN32)
// POSIX hosts have no ANSI code page of the system: the terminal tool chooses, per script, the
// code page the script's bytes are stepped in. Every text of the run (the script, the paths
// built from it, the catalogue's messages) is then in that code page; only the edges convert:
// the file system's paths and the terminal's output are UTF-8.
enum class CodePage {
  kUtf8,  // steps byte by byte: no UTF-8 continuation byte is ASCII
  kGbk,   // code page 936: lead bytes 0x81 to 0xFE
};
void SetActiveCodePage(CodePage code_page);
CodePage ActiveCodePage();

// Conversions between the active code page and UTF-8, unchanged while UTF-8 is active. A byte
// sequence that does not convert is kept as it is, so that nothing of a name is dropped.
std::string Utf8FromActiveCodePage(const std::string& text);
std::string ActiveCodePageFromUtf8(const std::string& utf8);

#endif

}  // namespace velmora
