#include "ui/progress_bar_win32.h"

#include <commctrl.h>

namespace velmora {

// An archive index lies within a 4 GiB file, so counts stay far below the signed 32-bit limit
// that the control's messages carry.
void SetProgressRange(HWND bar, uint32_t maximum) {
  SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
}

void SetProgressPos(HWND bar, uint32_t position) {
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace velmora
