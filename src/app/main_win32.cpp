// Velmora.exe: registers the script file type, removes it (-u), or runs the script named by
// argument 1 with the progress dialog.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>
#include <vector>

#include "job/command_line.h"
#include "ui/last_resort_report_win32.h"
#include "job/program_entry.h"
#include "app/registration.h"
#include "app/registry.h"
#include "job/script_path.h"
#include "job/job_state.h"
#include "msg/catalogue.h"
#include "sys/code_page.h"
#include "sys/file_system.h"
#include "sys/process.h"
#include "ui/progress_dialog_win32.h"
#include "ui/windows_view_win32.h"

namespace velmora {
namespace {

class WindowsFrontEnd final : public EntryFrontEnd {
 public:
  explicit WindowsFrontEnd(CodePage code_page) : code_page_(code_page) {}

  std::string MakeAbsolute(const std::string& argument) override {
    return MakeAbsoluteScriptPath(argument, ProcessCurrentDirectory());
  }
  // The registry keeps its values in the system's ANSI code page, as every program of the
  // system writes them; the run's code page comes back afterwards.
  void RegisterScriptType() override {
    InSystemAnsiCodePage([] { RegisterVelmoraScriptType(SystemRegistry(), ProgramFilePath()); });
  }
  void UnregisterScriptType() override {
    InSystemAnsiCodePage([] { UnregisterVelmoraScriptType(SystemRegistry()); });
  }

  void RunWithProgress(JobState& job) override {
    // The dialog's progress bar is a common control; its window class must exist first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // Each dialog has a view of its own: a mod shows one dialog after another.
    WindowsView dialog_view(job);
    ShowProgressDialog(job, SystemFileSystem(), dialog_view);
  }
  // A mod's archives are written together under one dialog.
  bool RunsPartsTogether() const override { return true; }
  void RunPartsWithProgress(std::vector<JobState>& parts) override {
    ShowPartsProgressDialog(parts, SystemFileSystem());
  }

 private:
  template <typename Step>
  void InSystemAnsiCodePage(Step step) {
    SetActiveCodePage(CodePage::kSystemAnsi);
    try {
      step();
    } catch (...) {
      SetActiveCodePage(code_page_);
      throw;
    }
    SetActiveCodePage(code_page_);
  }

  CodePage code_page_;
};

// The texts of a run are in the script's code page, whatever the system's ANSI code page: the
// script named by argument 1 is looked at first (its path in UTF-8, in which every name
// converts), and the command line is then taken again in the script's code page. The boxes and
// the dialog show the texts through UTF-16.
CodePage UseScriptCodePage() {
  SetActiveCodePage(CodePage::kUtf8);
  const CommandLine arguments = ProcessCommandLine();
  CodePage code_page = CodePage::kUtf8;
  if (arguments.ArgumentCount() >= 1) {
    const std::string path =
        MakeAbsoluteScriptPath(arguments.ArgumentAt(1), ProcessCurrentDirectory());
    code_page = CodePageOfScriptFile(SystemFileSystem(), path);
  }
  SetActiveCodePage(code_page);
  return code_page;
}

// The whole run. A script run ends the process here; the other runs return to leave through
// the runtime's orderly shutdown.
int RunProgram() {
  SetMessageLanguage(UserInterfaceLanguage());
  const CodePage code_page = UseScriptCodePage();
  const CommandLine arguments = ProcessCommandLine();
  JobState job;
  WindowsView view(job);
  WindowsFrontEnd front(code_page);
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
