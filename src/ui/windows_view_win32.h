// The Windows view of a run: the three message boxes, owned by the progress dialog once it
// exists, and the dialog's display and stop signal as the worker sees them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "job/job_state.h"
#include "job/run_view.h"

namespace velmora {

// Written by the dialog before the worker starts; never changed or cleared afterwards.
struct DialogHandles {
  HWND DialogWindow = nullptr;  // the progress dialog, owner of every box; none before it exists
  HWND ProgressBar = nullptr;
};

class WindowsView : public RunView {
 public:
  explicit WindowsView(JobState& job);

  DialogHandles Handles;

  // Boxes captioned with the dialog title; the text is followed by four blanks.
  void ShowInfo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  // The box's result: 1 (OK) is consent; 0 when no box could be shown.
  int AskOkCancel(const std::string& text) override;

  // Worker thread. Counts the entry as begun; shows it (title, caption and bar, each a
  // synchronous window call handled by the interface thread) only when it is the first or the
  // last entry. The display timer shows the others (RefreshProgress), so that the display costs
  // the same for any archive and the worker does not wait for it.
  void ReportProgress(uint32_t index, uint32_t count) override;
  // The dialog is disabled (its close handler has begun) or gone.
  bool StopRequested() override;
  // Asks the dialog to close and report, unless its close handler has already begun.
  void RunFinished() override;

  // Interface thread, first step of the close handler: the worker stops before its next entry
  // and posts nothing.
  void RequestStop();

  // The number of entries the worker has begun: what the display shows once it is up to date.
  uint32_t EntriesBegun() const { return entries_begun_.load(); }
  // Interface thread: shows the entries begun now, when the display lags behind (called by the
  // dialog's display timer, which sets the rate).
  void RefreshProgress();
  // Interface thread: shows the entries begun now, whatever was shown last.
  void ShowEntriesBegun();

  // The display timer's period: the display changes at most this often while entries are begun
  // (milliseconds).
  static constexpr DWORD kDisplayInterval = 50;

 private:
  int ShowBox(const std::string& text, UINT flags);
  void ShowProgress(uint32_t entries_begun, uint32_t count);

  JobState& job_;
  std::atomic<uint32_t> entries_begun_{0};
  std::atomic<uint32_t> entries_shown_{0};
  // The percentage the title shows; -1 while it shows the dialog's own title.
  std::atomic<int> title_percent_{-1};
  // Set together with disabling the window, so that the stop holds even if something enables
  // the window again while the report box is open.
  std::atomic<bool> stop_requested_{false};
};

}  // namespace velmora
