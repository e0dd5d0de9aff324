#include "ui/windows_view_win32.h"

#include "ui/progress_bar_win32.h"
#include "resource_ids.h"
#include "ui/progress_text.h"

namespace velmora {

static_assert((MB_OK | MB_ICONINFORMATION) == 64, "information box");
static_assert((MB_OK | MB_ICONERROR) == 16, "error box");
static_assert((MB_OKCANCEL | MB_ICONQUESTION) == 33, "question box");

WindowsView::WindowsView(JobState& job) : job_(job) {}

int WindowsView::ShowBox(const std::string& text, UINT flags) {
  const std::string shown = text + "    ";
  return MessageBoxA(Handles.DialogWindow, shown.c_str(), job_.Texts.Title.c_str(), flags);
}

void WindowsView::ShowInfo(const std::string& text) { ShowBox(text, MB_OK | MB_ICONINFORMATION); }

void WindowsView::ShowError(const std::string& text) { ShowBox(text, MB_OK | MB_ICONERROR); }

int WindowsView::AskOkCancel(const std::string& text) {
  return ShowBox(text, MB_OKCANCEL | MB_ICONQUESTION);
}

void WindowsView::ReportProgress(uint32_t index, uint32_t count) {
  HWND dialog = Handles.DialogWindow;
  SetWindowTextA(dialog, ProgressTitle(job_.Texts.Title, index, count).c_str());
  SetDlgItemTextA(dialog, IDC_PROGRESS_CAPTION,
                  ProgressCaptionText(job_.Texts.ProgressCaption, index, count).c_str());
  SetProgressPos(Handles.ProgressBar, index + 1);
}

bool WindowsView::StopRequested() {
  HWND dialog = Handles.DialogWindow;
  return stop_requested_.load() || !IsWindow(dialog) || !IsWindowEnabled(dialog);
}

void WindowsView::RunFinished() {
  if (!StopRequested()) PostMessageA(Handles.DialogWindow, WM_CLOSE, 0, 0);
}

void WindowsView::RequestStop() {
  stop_requested_.store(true);
  EnableWindow(Handles.DialogWindow, FALSE);
}

}  // namespace velmora
