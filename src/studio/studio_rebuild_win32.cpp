// A rebuild from the Studio: where to write, the run under the progress dialog, the report.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include "job/job_state.h"
#include "job/program_entry.h"
#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "sys/file_system.h"
#include "ui/progress_dialog_win32.h"
#include "ui/windows_view_win32.h"

namespace velmora {

namespace {

// The last-write time of a file, or 0 when it does not exist.
uint64_t WrittenAt(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// The front end of a rebuild: the run of the saved script under the progress dialog, exactly as
// Velmora.exe runs it when the script is opened from the shell.
class RebuildFrontEnd final : public EntryFrontEnd {
 public:
  explicit RebuildFrontEnd(WindowsView& view) : view_(view) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override {
    ShowProgressDialog(job, SystemFileSystem(), view_);
  }

 private:
  WindowsView& view_;
};

}  // namespace

void StudioWindow::Rebuild() {
  if (!document_.IsOpen()) return;
  if ((!document_.HasScript() || document_.Changes().Modified()) && !Save(false)) return;
  const std::string script_target = document_.TargetPath();
  int chosen = document_.InPlace() ? IDC_REBUILD_IN_PLACE : IDC_REBUILD_AS_SCRIPT;
  SmallDialog where{
      StudioText::TxtRebuildTitle,
      [&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_REBUILD_AS_SCRIPT,
                        TextOf(StudioText::TxtRebuildAsScript, {script_target}).c_str());
        SetDlgItemTextA(dialog, IDC_REBUILD_IN_PLACE, Text(StudioText::TxtRebuildInPlace).c_str());
        SetDlgItemTextA(dialog, IDC_REBUILD_OTHER, Text(StudioText::TxtRebuildOther).c_str());
        CheckRadioButton(dialog, IDC_REBUILD_AS_SCRIPT, IDC_REBUILD_OTHER, chosen);
      },
      [&](HWND dialog) {
        for (int id : {IDC_REBUILD_AS_SCRIPT, IDC_REBUILD_IN_PLACE, IDC_REBUILD_OTHER}) {
          if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) chosen = id;
        }
      }};
  if (!RunSmallDialog(window_, IDD_REBUILD, where)) return;
  ScriptTarget target;
  if (chosen == IDC_REBUILD_IN_PLACE && !document_.InPlace()) {
    target.InPlace = true;
  } else if (chosen == IDC_REBUILD_OTHER) {
    target.TargetPath = ChooseFile(true, Text(StudioText::TxtAllFiles), "wdf");
    if (target.TargetPath.empty()) return;
  }
  if (target.InPlace || !target.TargetPath.empty()) {
    if (!SaveScriptTo(document_.ScriptPath(), target)) return;
  }
  const std::string target_path = document_.TargetPath();
  const uint64_t before = WrittenAt(target_path);

  JobState job;
  job.ScriptPath = document_.ScriptPath();
  WindowsView view(job);
  RebuildFrontEnd front(view);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  EnableWindow(window_, FALSE);
  try {
    RunScriptEntry(job, SystemFileSystem(), view, front);
  } catch (const std::exception& failure) {
    ReleaseRun(job);
    EnableWindow(window_, TRUE);
    ShowError(failure.what());
    return;
  }
  ReleaseRun(job);
  EnableWindow(window_, TRUE);
  SetForegroundWindow(window_);
  const uint64_t after = WrittenAt(target_path);
  if (after != 0 && after != before) {
    if (MessageBoxA(window_, TextOf(StudioText::TxtRebuildDone, {target_path}).c_str(),
                    Text(StudioText::TxtTitle).c_str(), MB_YESNO | MB_ICONINFORMATION) == IDYES) {
      OpenPath(target_path);
    }
  }
}

}  // namespace velmora
