// The Studio's small dialogs: a title, the OK and Cancel buttons in the user's language, and
// what fills and reads the rest.
#include "studio/studio_window_parts_win32.h"

#include "studio_ids.h"

namespace velmora {

namespace {

INT_PTR CALLBACK SmallDialogProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto* small = reinterpret_cast<SmallDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, l);
      small = reinterpret_cast<SmallDialog*>(l);
      SetText(dialog, Text(small->Title));
      SetItemText(dialog, IDOK, Text(StudioText::TxtOk));
      SetItemText(dialog, IDCANCEL, Text(StudioText::TxtCancel));
      small->Fill(dialog);
      if (small->ReadingControl != 0) {
        HWND reading = GetDlgItem(dialog, small->ReadingControl);
        SetFocus(reading);
        SendMessageW(reading, EM_SETSEL, 0, 0);
        return FALSE;  // the focus is set
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) == IDOK) {
        small->Accept(dialog);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(w) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool RunSmallDialog(HWND owner, int template_id, SmallDialog& small) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), owner,
                         SmallDialogProcedure, reinterpret_cast<LPARAM>(&small)) == IDOK;
}

}  // namespace velmora
