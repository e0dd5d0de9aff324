// A run shown on the terminal: the boxes become lines (information on standard output, errors
// and questions on standard error), questions are answered y or n, and the progress is one line
// on standard error, redrawn in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/command.h"
#include "job/job_state.h"
#include "job/run_view.h"

namespace velmora {

struct TerminalOptions {
  bool AssumeYes = false;  // every question answered OK without asking
  bool Quiet = false;      // no progress, no success report, no questions shown
};

class TerminalView : public RunView {
 public:
  // `job` is read for the bytes written so far; Ctrl-C (InterruptRequested) stops the run.
  TerminalView(Console& console, const JobState& job, TerminalOptions options);

  void ShowInfo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  int AskOkCancel(const std::string& text) override;
  // Without --force a patch is not applied to another archive: the finding is the refusal.
  int AskToApplyOnOtherBase(const std::string& finding) override;
  std::string UndoAdvice(const std::string& undo_script) override;
  void ReportProgress(uint32_t index, uint32_t count) override;
  void ReportPartsProgress(uint32_t index, uint32_t count, uint64_t bytes_written) override;
  bool StopRequested() override;
  void RunFinished() override;

  // Removes the progress line, so that what follows starts on a clean line.
  void ClearProgress();
  // The number of entries the run has begun, the progress position of the dialog.
  uint32_t EntriesBegun() const { return entries_begun_; }

 private:
  using Clock = std::chrono::steady_clock;

  void DrawProgress(uint32_t index, uint32_t count, uint64_t bytes);

  Console& console_;
  const JobState& job_;
  TerminalOptions options_;
  bool show_progress_;
  uint32_t entries_begun_ = 0;
  Clock::time_point started_;
  Clock::time_point last_drawn_;
  size_t drawn_columns_ = 0;  // of the progress line on the screen; 0 when there is none
};

// A box's text for the terminal: every CR LF and every lone CR becomes one LF, and on POSIX
// hosts every backslash that is a character of its own becomes '/', the separator of the paths
// the texts quote.
std::string TerminalText(const std::string& text);

// For each name that the file system could not take because two names on the disk differ from
// it only in letter case: a line naming them, for the message of the failure it caused. Empty
// when there was none since the last call.
std::string LetterCaseNote(const Console& console);

// The progress line: percentage, entries done of all, bytes written, rate and time left (both
// only once `seconds` is long enough to tell).
std::string ProgressLine(uint32_t done, uint32_t count, uint64_t bytes, double seconds,
                         bool chinese);

// Columns a UTF-8 text takes: one per ASCII character, two per other character.
size_t TerminalColumns(const std::string& utf8);

}  // namespace velmora
