#include "ui/windows_view_win32.h"

#include "ui/progress_bar_win32.h"
#include "resource_ids.h"
#include "job/progress_text.h"
#include "sys/code_page.h"

namespace velmora {

static_assert((MB_OK | MB_ICONINFORMATION) == 64, "information box");
static_assert((MB_OK | MB_ICONERROR) == 16, "error box");
static_assert((MB_OKCANCEL | MB_ICONQUESTION) == 33, "question box");

WindowsView::WindowsView(JobState& job) : job_(job) {}

int WindowsView::ShowBox(const std::string& text, UINT flags) {
  // Through UTF-16, so that the texts of the run show whatever the system's ANSI code page.
  const std::wstring shown = WideFromActiveCodePage(text + "    ");
  return MessageBoxW(Handles.DialogWindow, shown.c_str(),
                     WideFromActiveCodePage(job_.Texts.Title).c_str(), flags);
}

void WindowsView::ShowInfo(const std::string& text) { ShowBox(text, MB_OK | MB_ICONINFORMATION); }

void WindowsView::ShowError(const std::string& text) { ShowBox(text, MB_OK | MB_ICONERROR); }

int WindowsView::AskOkCancel(const std::string& text) {
  return ShowBox(text, MB_OKCANCEL | MB_ICONQUESTION);
}

void WindowsView::ReportProgress(uint32_t index, uint32_t count) {
  const uint32_t begun = index + 1;
  entries_begun_.store(begun);
  // The entries between the first and the last are shown by the dialog's display timer: the
  // worker then never waits for the window to paint them.
  if (begun == count || entries_shown_.load() == 0) ShowProgress(begun, count);
}

void WindowsView::RefreshProgress() {
  const uint32_t begun = entries_begun_.load();
  if (begun != entries_shown_.load()) ShowProgress(begun, job_.SourceCount);
}

void WindowsView::ShowEntriesBegun() { ShowProgress(entries_begun_.load(), job_.SourceCount); }

// Title, caption and bar as they stand once `entries_begun` entries of `count` were begun.
// Before the first entry they keep the texts the dialog started with.
void WindowsView::ShowProgress(uint32_t entries_begun, uint32_t count) {
  if (entries_begun == 0) return;
  const uint32_t index = entries_begun - 1;
  HWND dialog = Handles.DialogWindow;
  // The title changes once per percent: setting it anew in between would only repaint the
  // frame with the same text.
  const int percent = ProgressPercent(index, count);
  if (percent != title_percent_.load()) {
    SetWindowTextW(dialog,
                   WideFromActiveCodePage(ProgressTitle(job_.Texts.Title, index, count)).c_str());
    title_percent_.store(percent);
  }
  SetDlgItemTextW(
      dialog, IDC_PROGRESS_CAPTION,
      WideFromActiveCodePage(ProgressCaptionText(job_.Texts.ProgressCaption, index, count))
          .c_str());
  SetProgressPos(Handles.ProgressBar, entries_begun);
  entries_shown_.store(entries_begun);
}

bool WindowsView::StopRequested() {
  HWND dialog = Handles.DialogWindow;
  return stop_requested_.load() || !IsWindow(dialog) || !IsWindowEnabled(dialog);
}

void WindowsView::RunFinished() {
  if (!StopRequested()) PostMessageW(Handles.DialogWindow, WM_CLOSE, 0, 0);
}

void WindowsView::RequestStop() {
  stop_requested_.store(true);
  EnableWindow(Handles.DialogWindow, FALSE);
}

}  // namespace velmora
