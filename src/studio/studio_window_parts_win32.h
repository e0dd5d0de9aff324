// What the files of the Studio's window share: measures scaled to the screen, numbers as the
// list shows them, the text of a control, and the Studio's small dialogs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "studio/studio_texts_win32.h"

namespace velmora {

constexpr int kColumnCount = 6;
constexpr int kSplitterWidth = 5;

// `pixels` at 96 dots per inch, in the screen's dots.
int Scaled(int pixels);

// 1234567 as "1,234,567".
std::string Grouped(uint64_t value);

std::string WindowText(HWND window);

// Texts the string table holds as "name|pattern|name|pattern|" made into a filter list.
std::string FilterList(const std::string& text);

// One of the Studio's small dialogs: its title, what fills it once it exists, and what reads
// it when OK is pressed.
struct SmallDialog {
  StudioText Title;
  std::function<void(HWND)> Fill;
  std::function<void(HWND)> Accept;
};

// Shows dialog `template_id` of the program; true when it was closed with OK.
bool RunSmallDialog(HWND owner, int template_id, SmallDialog& small);

}  // namespace velmora
