// Character stepping and comparison in the active code page: the script's, or on Windows before
// a script is read the system's ANSI code page.
//
// Every text the program handles (script lines, paths, messages) is a byte string in that code
// page. Searches for separators, '=', '\\' or escapes must step whole characters, so that
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

// The code page the texts of a run are stepped in. Every text of the run (the script, the paths
// built from it, the catalogue's messages) is in that code page; only the edges convert: the file
// system's names, the command line, the system's texts, the screen and the terminal. POSIX hosts
// have no ANSI code page of the system and start in UTF-8; Windows starts in the system's ANSI
// code page until a program sets the script's.
enum class CodePage {
  kUtf8,        // steps byte by byte: no UTF-8 continuation byte is ASCII
  kGbk,         // code page 936: lead bytes 0x81 to 0xFE
  kSystemAnsi,  // Windows: the system's ANSI code page, as its own ANSI calls step and convert
                // (POSIX hosts have none and take UTF-8)
};
void SetActiveCodePage(CodePage code_page);
CodePage ActiveCodePage();

// Conversions between the active code page and UTF-8, unchanged while UTF-8 is active. On POSIX
// hosts a byte sequence that does not convert is kept as it is, so that nothing of a name is
// dropped; on Windows it becomes the system's replacement character.
std::string Utf8FromActiveCodePage(const std::string& text);
std::string ActiveCodePageFromUtf8(const std::string& utf8);

// True when `bytes` are valid UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// The one rule by which every program tells a script's encoding from its bytes: a UTF-8
// byte-order mark settles it; without one, a script that is valid UTF-8 as a whole is UTF-8 (one
// of ASCII alone reads the same in both); any other is GBK, as scripts were always written.
CodePage CodePageOfScript(const std::string& bytes);

#if defined(_WIN32)
// The edges of Windows: texts of the active code page to and from the system's UTF-16.
std::wstring WideFromActiveCodePage(const std::string& text);
std::string ActiveCodePageFromWide(const std::wstring& wide);
// The same for the system's ANSI code page, for output that goes to files and pipes.
std::string SystemAnsiFromActiveCodePage(const std::string& text);
#else
// The same between the active code page and code page 936 (a terminal of a zh_CN.GBK locale).
std::string Cp936FromActiveCodePage(const std::string& text);
std::string ActiveCodePageFromCp936(const std::string& cp936);
#endif

}  // namespace velmora
