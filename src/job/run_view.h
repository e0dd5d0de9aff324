// What the core needs of the person in front of the screen. The interface implements it with
// message boxes and the progress dialog, the terminal front-end with text, tests in memory.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class RunView {
 public:
  virtual ~RunView() = default;

  // Interface thread. Each text is shown as given; the view adds what its boxes add.
  virtual void ShowInfo(const std::string& text) = 0;
  virtual void ShowError(const std::string& text) = 0;
  // Returns 1 (OK) for consent; any other value is refusal.
  virtual int AskOkCancel(const std::string& text) = 0;

  // Worker thread.
  // Shows that the entry `index` (from 0) of `count` is being begun.
  virtual void ReportProgress(uint32_t index, uint32_t count) = 0;
  // True once the person has asked the run to stop (the dialog is disabled or gone).
  virtual bool StopRequested() = 0;
  // The worker has finished; asks the view to close and report unless a stop was requested.
  virtual void RunFinished() = 0;
};

}  // namespace velmora
