// The terminal front-end's view of a run: boxes become lines of text, questions are answered
// with y or n, progress is printed at every whole percent, and an interrupt (Ctrl-C) asks the
// run to stop before its next entry.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "job/run_view.h"

namespace velmora {

class TerminalView : public RunView {
 public:
  // Boxes and progress go to `out`; answers are read from `in`. With `assume_yes` every question
  // is answered with yes without reading anything.
  TerminalView(std::ostream& out, std::istream& in, bool assume_yes);

  void ShowInfo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  // 1 (OK) for an answer beginning with y or Y, 2 (Cancel) for anything else or no answer.
  int AskOkCancel(const std::string& text) override;

  void ReportProgress(uint32_t index, uint32_t count) override;
  bool StopRequested() override;
  // The terminal reports once the worker has been joined, so there is nothing to close.
  void RunFinished() override;

  // Asks the run to stop before its next entry. Safe to call from a signal handler.
  void RequestStop() { stop_requested_.store(true); }
  // The number of entries the worker has begun (progress reports received).
  uint32_t EntriesBegun() const { return entries_begun_.load(); }

 private:
  void PrintBox(const char* tag, const std::string& text);

  std::ostream& out_;
  std::istream& in_;
  bool assume_yes_;
  std::atomic<bool> stop_requested_{false};
  std::atomic<uint32_t> entries_begun_{0};
  int last_percent_printed_ = -1;
};

// Message texts break lines with a lone carriage return (and system texts with CR LF); a terminal
// needs line feeds. Every CR LF and every lone CR becomes one LF.
std::string TerminalLines(const std::string& text);

}  // namespace velmora
