// VelmoraStudio.exe: a window over an archive, started with an archive or a script to open, or
// with nothing.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "job/command_line.h"
#include "ui/last_resort_report_win32.h"
#include "studio/studio_window_win32.h"
#include "job/script_path.h"

namespace velmora {
namespace {

int RunStudio(int show) {
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The folder dialog needs the apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const CommandLine arguments = ProcessCommandLine();
  std::string path;
  if (arguments.ArgumentCount() >= 1) {
    path = MakeAbsoluteScriptPath(arguments.ArgumentAt(1), ProcessCurrentDirectory());
  }
  StudioWindow window;
  if (!window.Create(path, show)) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (StudioWindow::TranslateForWindow(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
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
