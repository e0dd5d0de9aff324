#include "ui/progress_dialog_win32.h"

#include <commctrl.h>

#include "job/mod_parts.h"
#include "job/new_archive.h"
#include "job/pack_run.h"
#include "ui/progress_bar_win32.h"
#include "resource_ids.h"
#include "job/run_report.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

// The timer that brings the display up to the entries begun while the worker is inside one long
// entry.
constexpr UINT_PTR kDisplayTimer = 1;

// What the dialog runs: one archive's run, or a mod's parts as one run. The dialog shows `Job`'s
// texts and progress whichever it is.
class DialogRun {
 public:
  DialogRun(JobState& job, FileSystem& files, WindowsView& view)
      : Job(job), Files(files), View(view) {}
  virtual ~DialogRun() = default;
  // The worker's part.
  virtual void Work() = 0;
  // The close handler's part, the worker told to stop: waits for it as far as judging the run
  // needs, then reports the outcome.
  virtual void Report(HANDLE worker) = 0;
  // The dialog never started the run: the files made for its new archives go, and an existing
  // target stays as it was.
  virtual void Discard() = 0;

  JobState& Job;
  FileSystem& Files;
  WindowsView& View;
};

void WaitForWorker(HANDLE worker);

class SingleRun final : public DialogRun {
 public:
  SingleRun(JobState& job, FileSystem& files, WindowsView& view, WorkerBody body)
      : DialogRun(job, files, view), body_(body) {}
  void Work() override { body_(Job, Files, View); }
  void Report(HANDLE worker) override {
    // The run is judged by the entries begun, and the display shows that state first, whatever
    // the rate of its updates skipped.
    const uint32_t entries_begun = View.EntriesBegun();
    View.ShowEntriesBegun();
    if (RunSucceeded(Job, entries_begun)) {
      // Every entry has been begun, so the worker looks at the window no more: it finishes the
      // archive. Whether that succeeds (the index and header written, an old target replaced)
      // is known only once it has ended, which follows at once when it posted this WM_CLOSE
      // itself.
      WaitForWorker(worker);
    }
    if (RunSucceeded(Job, entries_begun)) {
      if (std::optional<std::string> report = SuccessReport(Job)) View.ShowInfo(*report);
    } else {
      View.ShowError(FailureReport(Job));
    }
  }
  void Discard() override { DiscardNewArchive(Job, Files); }

 private:
  WorkerBody body_;
};

// `Job` is the parts' summary (SummarizeParts).
class PartsRun final : public DialogRun {
 public:
  PartsRun(std::vector<JobState>& parts, JobState& summary, FileSystem& files, WindowsView& view,
           PartsWorkerBody body)
      : DialogRun(summary, files, view), parts_(parts), body_(body) {}
  void Work() override { reported_part_ = body_(parts_, Files, View); }
  // The parts' threads are waited for before anything is judged: the part to report is known
  // only once every one has ended.
  void Report(HANDLE worker) override {
    WaitForWorker(worker);
    View.ShowEntriesBegun();
    ReportModParts(parts_, reported_part_, View);
  }
  void Discard() override {
    for (JobState& part : parts_) DiscardNewArchive(part, Files);
  }

 private:
  std::vector<JobState>& parts_;
  PartsWorkerBody body_;
  // Written by the worker before it ends, read by Report only once it has ended.
  int reported_part_ = -1;
};

struct ProgressDialogContext {
  DialogRun& Run;
  HANDLE Worker = nullptr;  // kept so that nobody frees the job while the worker still uses it
  bool RunStarted = false;
  bool Closing = false;
};

DWORD WINAPI WorkerThread(LPVOID parameter) {
  static_cast<DialogRun*>(parameter)->Work();
  return 0;
}

// Waits until the worker has ended. The worker's display calls are synchronous calls into this
// thread, so they go on being handled meanwhile; otherwise a worker caught in one would never end.
void WaitForWorker(HANDLE worker) {
  if (!worker) return;
  for (;;) {
    DWORD woken = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) return;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void InitProgressDialog(HWND dialog, ProgressDialogContext& context) {
  JobState& job = context.Run.Job;
  DialogHandles& handles = context.Run.View.Handles;
  handles.DialogWindow = dialog;
  SetWindowTextW(dialog, WideFromActiveCodePage(job.Texts.Title).c_str());
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SetDlgItemTextW(dialog, IDC_AUTHOR_LINE, WideFromActiveCodePage(job.Texts.AuthorLine).c_str());
  SetDlgItemTextW(dialog, IDC_DATE_LINE, WideFromActiveCodePage(job.Texts.DateLine).c_str());
  SetDlgItemTextW(dialog, IDC_PROGRESS_CAPTION,
                  WideFromActiveCodePage(job.Texts.ProgressCaption).c_str());
  SetDlgItemTextW(dialog, IDC_CREDIT_LINE, WideFromActiveCodePage(job.Texts.CreditLine).c_str());
  handles.ProgressBar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
  SetProgressPos(handles.ProgressBar, 0);
  SetProgressRange(handles.ProgressBar, job.SourceCount);
  ShowWindow(dialog, SW_SHOW);
  SetTimer(dialog, kDisplayTimer, WindowsView::kDisplayInterval, nullptr);
  context.RunStarted = true;
  context.Worker = CreateThread(nullptr, 0, WorkerThread, &context.Run, 0, nullptr);
  if (!context.Worker) {
    // No thread could be started: the run happens here instead. The window does not answer
    // meanwhile, but the archive is written or removed as in any run, and the run's own
    // WM_CLOSE then reports it.
    context.Run.Work();
  }
}

// The close handler: stops the worker, judges the run and reports it. Esc, the close box and the
// worker's own WM_CLOSE all lead here; once it has begun, further close requests (such as a
// WM_CLOSE that arrives while the report box is open) change nothing.
void CloseProgressDialog(HWND dialog, ProgressDialogContext& context) {
  if (context.Closing) return;
  context.Closing = true;
  context.Run.View.RequestStop();
  KillTimer(dialog, kDisplayTimer);
  context.Run.Report(context.Worker);
  EndDialog(dialog, 0);
}

// Returns 0 for every message; for WM_INITDIALOG this leaves the keyboard focus alone.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    InitProgressDialog(dialog, *reinterpret_cast<ProgressDialogContext*>(lparam));
    return 0;
  }
  auto* context = reinterpret_cast<ProgressDialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!context) return 0;
  if (message == WM_COMMAND && wparam == IDCANCEL) {
    // The dialog manager sends IDCANCEL for the Esc key (and posts it after every WM_CLOSE);
    // once the close handler has begun there is nothing more to ask.
    if (!context->Closing) PostMessageW(dialog, WM_CLOSE, 0, 0);
  } else if (message == WM_CLOSE) {
    CloseProgressDialog(dialog, *context);
  } else if (message == WM_TIMER && wparam == kDisplayTimer) {
    if (!context->Closing) context->Run.View.RefreshProgress();
  }
  return 0;
}

// Shows the dialog modally through `show` (given the context as the dialog's parameter) and
// returns its result once the worker, if one was started, has ended as well.
template <typename ShowModal>
INT_PTR RunDialog(ProgressDialogContext& context, ShowModal show) {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
  INT_PTR result = show(reinterpret_cast<LPARAM>(&context));
  WaitForWorker(context.Worker);
  if (context.Worker) CloseHandle(context.Worker);
  if (!context.RunStarted) context.Run.Discard();
  return result;
}

// A window of UTF-16 texts, so that none of them passes through the ANSI code page.
INT_PTR ShowFromResources(LPARAM parameter) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
                         ProgressDialogProc, parameter);
}

auto ShowFromTemplate(const DLGTEMPLATE* dialog_template) {
  return [dialog_template](LPARAM parameter) {
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog_template, nullptr,
                                   ProgressDialogProc, parameter);
  };
}

int WriteModParts(std::vector<JobState>& parts, FileSystem& files, RunView& view) {
  return RunModParts(parts, files, view, ModPartThreads(parts.size()));
}

}  // namespace

void ShowProgressDialog(JobState& job, FileSystem& files, WindowsView& view) {
  SingleRun run(job, files, view, RunPack);
  ProgressDialogContext context{run};
  RunDialog(context, ShowFromResources);
}

void SummarizeParts(const std::vector<JobState>& parts, JobState& summary) {
  if (!parts.empty()) summary.Texts = parts.front().Texts;
  for (const JobState& part : parts) summary.SourceCount += part.SourceCount;
}

void ShowPartsProgressDialog(std::vector<JobState>& parts, FileSystem& files) {
  if (parts.empty()) return;
  JobState summary;
  SummarizeParts(parts, summary);
  WindowsView view(summary);
  PartsRun run(parts, summary, files, view, WriteModParts);
  ProgressDialogContext context{run};
  RunDialog(context, ShowFromResources);
}

INT_PTR ShowProgressDialogFromTemplate(const DLGTEMPLATE* dialog_template, JobState& job,
                                       FileSystem& files, WindowsView& view, WorkerBody worker) {
  SingleRun run(job, files, view, worker);
  ProgressDialogContext context{run};
  return RunDialog(context, ShowFromTemplate(dialog_template));
}

INT_PTR ShowPartsProgressDialogFromTemplate(const DLGTEMPLATE* dialog_template,
                                            std::vector<JobState>& parts, JobState& summary,
                                            FileSystem& files, WindowsView& view,
                                            PartsWorkerBody worker) {
  PartsRun run(parts, summary, files, view, worker);
  ProgressDialogContext context{run};
  return RunDialog(context, ShowFromTemplate(dialog_template));
}

}  // namespace velmora
