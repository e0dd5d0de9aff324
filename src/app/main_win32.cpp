// Velmora.exe: registers the script file type, removes it (-u), or runs the script named by
// argument 1 with the progress dialog.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>

#include "job/command_line.h"
#include "ui/last_resort_report_win32.h"
#include "job/program_entry.h"
#include "app/registration.h"
#include "app/registry.h"
#include "job/script_path.h"
#include "job/job_state.h"
#include "sys/file_system.h"
#include "sys/process.h"
#include "ui/progress_dialog_win32.h"
#include "ui/windows_view_win32.h"

namespace velmora {
namespace {

class WindowsFrontEnd final : public EntryFrontEnd {
 public:
  std::string MakeAbsolute(const std::string& argument) override {
    return MakeAbsoluteScriptPath(argument, ProcessCurrentDirectory());
  }
  void RegisterScriptType() override {
    RegisterVelmoraScriptType(SystemRegistry(), ProgramFilePath());
  }
  void UnregisterScriptType() override { UnregisterVelmoraScriptType(SystemRegistry()); }

  void RunWithProgress(JobState& job) override {
    // The dialog's progress bar is a common control; its window class must exist first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // Each dialog has a view of its own: a mod shows one dialog after another.
    WindowsView dialog_view(job);
    ShowProgressDialog(job, SystemFileSystem(), dialog_view);
  }
};

// The whole run. A script run ends the process here; the other runs return to leave through
// the runtime's orderly shutdown.
int RunProgram() {
  const CommandLine arguments = ProcessCommandLine();
  JobState job;
  WindowsView view(job);
  WindowsFrontEnd front;
  const EntryEnd end = RunEntry(arguments.ArgumentCount(), arguments.ArgumentAt(1), job,
                                SystemFileSystem(), view, front);
  if (end == EntryEnd::kScriptRunEnded) ExitProcess(0);
  return 0;
}

}  // namespace
}  // namespace velmora

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  velmora::InstallLastResortReport();
  try {
    return velmora::RunProgram();
  } catch (...) {
    velmora::ReportFailureAndExit(std::current_exception(),
                                  reinterpret_cast<const void*>(&velmora::RunProgram));
  }
}
