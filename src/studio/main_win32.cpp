// VelmoraStudio.exe: a window over an archive, started with an archive or a script to open, or
// with nothing.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "job/command_line.h"
#include "job/script_path.h"
#include "msg/catalogue.h"
#include "msg/file_failure.h"
#include "studio/studio_window_parts_win32.h"
#include "studio/studio_window_win32.h"
#include "sys/code_page.h"
#include "ui/last_resort_report_win32.h"

namespace velmora {
namespace {

int RunStudio(int show) {
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The folder dialog needs the apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  SetHeldFileNamed(true);  // a file another program holds is named as in use
  // The run's and the archive's messages speak the language of the Studio's own texts.
  SetMessageLanguage(UserInterfaceLanguage());
  // Until a window opens something, texts are in UTF-8, in which every name converts: the
  // argument is taken in it, and each window then works in the code page of what it opened.
  SetActiveCodePage(CodePage::kUtf8);
  const CommandLine arguments = ProcessCommandLine();
  std::wstring path;
  if (arguments.ArgumentCount() >= 1) {
    path = WideFromUtf8(MakeAbsoluteScriptPath(arguments.ArgumentAt(1), ProcessCurrentDirectory()));
  }
  StudioWindow window;
  if (!window.Create(path, show)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (StudioWindow::TranslateForWindow(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CoUninitialize();
  return static_cast<int>(message.wParam);
}

}  // namespace
}  // namespace velmora

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  velmora::InstallLastResortReport();
  try {
    return velmora::RunStudio(show);
  } catch (...) {
    velmora::ReportFailureAndExit(std::current_exception(),
                                  reinterpret_cast<const void*>(&velmora::RunStudio));
  }
}
