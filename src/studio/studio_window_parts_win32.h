// What the files of the Studio's window share: measures scaled to the screen, numbers as the
// list shows them, the text of a control, and the Studio's small dialogs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "studio/studio_texts_win32.h"
#include "sys/code_page.h"
#include "wdf/entry_kind.h"

namespace velmora {

constexpr int kColumnCount = 6;
constexpr int kSplitterWidth = 5;
// Posted by the kind finder when the kinds of the open archive are found.
constexpr UINT kKindsFoundMessage = WM_APP + 1;

// `pixels` at 96 dots per inch, in the screen's dots.
int Scaled(int pixels);

// 1234567 as "1,234,567".
std::string Grouped(uint64_t value);

// The window's texts are bytes of the active code page, as the document's; the system takes and
// gives UTF-16. These are the crossings.
std::wstring WideText(const std::string& text);
std::string WindowText(HWND window);
void SetText(HWND window, const std::string& text);
void SetItemText(HWND dialog, int id, const std::string& text);
// `wide` in the active code page; false when one of its characters has no place there (the
// system would put a stand-in in its place, which names another file).
bool TextFromWide(const std::wstring& wide, std::string* text);
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
// True when `path` names a script (IsScriptPath), before it is known in which code page.
bool NamesScript(const std::wstring& path);

// A message box of the Studio's: `text` under the Studio's title; the button pressed.
int ShowBox(HWND owner, const std::string& text, UINT flags);

// The active code page for as long as it lives; the one before it comes back afterwards.
class CodePageScope {
 public:
  explicit CodePageScope(CodePage code_page) : previous_(ActiveCodePage()) {
    SetActiveCodePage(code_page);
  }
  ~CodePageScope() { SetActiveCodePage(previous_); }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;

 private:
  CodePage previous_;
};

// A kind's name as the list shows it and the filter takes it: in the user's language where it
// is a word ("文本" for text), as it is where it is a file type ("bmp").
std::string KindShown(EntryKind kind);
// The filter's text with a kind's shown name read as its name ("文本" as "text").
std::string FilterInKindNames(const std::string& filter);

// Texts the string table holds as "name|pattern|name|pattern|" made into a filter list.
std::wstring FilterList(const std::string& text);

// One of the Studio's small dialogs: its title, what fills it once it exists, and what reads
// it when OK is pressed.
struct SmallDialog {
  StudioText Title;
  std::function<void(HWND)> Fill;
  std::function<void(HWND)> Accept;
  // A text to read, not to type over: this control gets the focus with the caret at its start
  // and nothing selected (0: the dialog's first control gets the focus, its text selected).
  int ReadingControl = 0;
};

// Shows dialog `template_id` of the program; true when it was closed with OK.
bool RunSmallDialog(HWND owner, int template_id, SmallDialog& small);

}  // namespace velmora
