// A rebuild from the Studio: where to write, the run under the progress dialog, the report.
#include "studio/studio_window_win32.h"

#include <commctrl.h>

#include "job/job_state.h"
#include "job/paths.h"
#include "job/program_entry.h"
#include "studio/studio_window_parts_win32.h"
#include "studio_ids.h"
#include "ui/progress_dialog_win32.h"
#include "ui/windows_view_win32.h"

namespace velmora {

namespace {

// The front end of a rebuild: the run of the saved script under the progress dialog, exactly as
// Velmora.exe runs it when the script is opened from the shell.
class RebuildFrontEnd final : public EntryFrontEnd {
 public:
  RebuildFrontEnd(WindowsView& view, FileSystem& files) : view_(view), files_(files) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { ShowProgressDialog(job, files_, view_); }

 private:
  WindowsView& view_;
  FileSystem& files_;
};

// Whether the run failed in its last step, when the new archive takes the target's name (and
// the old one becomes the backup): every rule was carried out by then.
bool FailedPlacingTarget(const JobState& job) {
  const std::string target = ShownPath(job.TargetPath);
  for (MessageKey key : {MessageKey::MsgBackupFailed, MessageKey::MsgTargetReplaceFailed}) {
    const std::string step = Message(key, {target, ""});
    if (job.ErrorText.compare(0, step.size(), step) == 0) return true;
  }
  return false;
}

// The boxes of a rebuild: the run's own, except that a failure to put the new archive in place
// is said as it is (whose file, and that another program holds it, where one does), not under
// the last rule line, which was carried out.
class RebuildView final : public WindowsView {
 public:
  explicit RebuildView(JobState& job) : WindowsView(job), job_(job) {}
  void ShowError(const std::string& text) override {
    WindowsView::ShowError(FailedPlacingTarget(job_) ? job_.ErrorText : text);
  }

 private:
  JobState& job_;
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
        SetItemText(dialog, IDC_REBUILD_AS_SCRIPT,
                    TextOf(StudioText::TxtRebuildAsScript, {script_target}));
        SetItemText(dialog, IDC_REBUILD_IN_PLACE, Text(StudioText::TxtRebuildInPlace));
        SetItemText(dialog, IDC_REBUILD_OTHER, Text(StudioText::TxtRebuildOther));
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
  // Rules a run cannot carry out are said before anything is written, every one of them, as
  // check says them; the files they name are looked at anew.
  document_.Plan(true);
  const std::vector<PlannedFailure> failures = document_.RebuildFailures();
  if (!failures.empty()) {
    std::string text = TextOf(StudioText::TxtRebuildFailures, {std::to_string(failures.size())});
    for (const PlannedFailure& failure : failures) {
      text += "\r\n" + (failure.Rule.empty() ? std::string() : failure.Rule + "\r\n    ") +
              failure.Reason;
    }
    ShowError(text);
    return;
  }

  JobState job;
  RebuildView view(job);
  RebuildFrontEnd front(view, document_.Files());
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  EnableWindow(window_, FALSE);
  kinds_.Stop();  // its reader holds the archive too
  StudioDocument::RebuildResult result;
  try {
    result = document_.RunRebuild(job, view, front);
  } catch (const std::exception& failure) {
    EnableWindow(window_, TRUE);
    StartKinds();
    ShowError(failure.what());
    return;
  }
  EnableWindow(window_, TRUE);
  SetForegroundWindow(window_);
  if (!result.Problem.empty()) ShowError(result.Problem);
  if (!result.Written || result.BackupPath.empty()) StartKinds();
  if (!result.Written) return;
  if (!result.BackupPath.empty()) {
    // The list shows the new archive; the old one is the backup the report names.
    ShowOpened();
    // The run's own words for the backup, then where to find it again.
    const std::string report = TextOf(StudioText::TxtRebuiltInPlace, {result.TargetPath}) + "\n\n" +
                               Message(MessageKey::MsgBackupKept, {result.BackupPath}) + "\n" +
                               Text(StudioText::TxtBackupsBringBack);
    ShowBox(window_, report, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (ShowBox(window_, TextOf(StudioText::TxtRebuildDone, {result.TargetPath}),
              MB_YESNO | MB_ICONINFORMATION) == IDYES) {
    OpenPath(WideText(result.TargetPath));
  }
}

}  // namespace velmora
