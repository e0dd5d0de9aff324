// A small Windows program that behaves like the product's front-end in the ways the UI driver
// must handle: message boxes of every kind, a progress dialog with the product's control ids,
// a run without any window, and a program that never ends. The driver's self-test runs it.
//
//   sample_app.exe none <code>       no window, exit code <code>
//   sample_app.exe boxes             error (16), question (33), information (64) boxes in turn;
//                                    exit code = answer1 * 100 + answer2 * 10 + answer3
//   sample_app.exe dialog <count>    progress dialog counting to <count>, then an information
//                                    box; exit code 0 when it counted to the end, 3 when closed
//   sample_app.exe hang              never ends
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kDialogId = 100;
constexpr UINT_PTR kTimerId = 1;

int g_count = 0;
int g_position = 0;
bool g_cancelled = false;

void ShowProgress(HWND dialog) {
  char title[64];
  std::snprintf(title, sizeof title, "Velmora %d%%", g_count ? g_position * 100 / g_count : 0);
  SetWindowTextA(dialog, title);
  char caption[64];
  std::snprintf(caption, sizeof caption,
                "\xD5\xFD\xD4\xDA\xC9\xFA\xB3\xC9\xCE\xC4\xBC\xFE... %d/%d", g_position,
                g_count);  // "正在生成文件..." in code page 936
  SetDlgItemTextA(dialog, 1003, caption);
  SendDlgItemMessageA(dialog, 1005, PBM_SETPOS, g_position, 0);
}

INT_PTR CALLBACK SampleDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, 1001,
                      "\xD7\xF7\xD5\xDF\xA3\xBA"
                      "sample");                                  // "作者：sample"
      SetDlgItemTextA(dialog, 1002, "\xC8\xD5\xC6\xDA\xA3\xBA");  // "日期："
      SendDlgItemMessageA(dialog, 1005, PBM_SETRANGE, 0, MAKELPARAM(0, g_count));
      ShowProgress(dialog);
      SetTimer(dialog, kTimerId, 50, nullptr);
      return FALSE;
    case WM_TIMER:
      if (g_position < g_count) {
        ++g_position;
        ShowProgress(dialog);
      } else {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
      }
      return TRUE;
    case WM_COMMAND:
      if (wparam == IDCANCEL) PostMessageA(dialog, WM_CLOSE, 0, 0);
      return TRUE;
    case WM_CLOSE:
      KillTimer(dialog, kTimerId);
      EnableWindow(dialog, FALSE);
      g_cancelled = g_position != g_count;
      if (g_cancelled) {
        MessageBoxA(dialog, "cancelled    ", "Velmora", MB_ICONERROR);
      } else {
        MessageBoxA(dialog, "done    ", "Velmora", MB_ICONINFORMATION);
      }
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

int RunBoxes() {
  // "错误" / "继续吗？" / "完成" in code page 936, with the product's four trailing blanks.
  const int first = MessageBoxA(nullptr, "\xB4\xED\xCE\xF3    ", "Velmora", 16);
  const int second = MessageBoxA(nullptr, "\xBC\xCC\xD0\xF8\xC2\xF0\xA3\xBF    ", "Velmora", 33);
  const int third = MessageBoxA(nullptr, "\xCD\xEA\xB3\xC9    ", "Velmora", 64);
  return first * 100 + second * 10 + third;
}

int RunDialog(int count) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  g_count = count;
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogId), nullptr, SampleDialogProc,
                  0);
  return g_cancelled ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "none") == 0) return argc > 2 ? std::atoi(argv[2]) : 0;
  if (std::strcmp(mode, "boxes") == 0) return RunBoxes();
  if (std::strcmp(mode, "dialog") == 0) return RunDialog(argc > 2 ? std::atoi(argv[2]) : 10);
  if (std::strcmp(mode, "hang") == 0) {
    for (;;) Sleep(1000);
  }
  return 99;
}
