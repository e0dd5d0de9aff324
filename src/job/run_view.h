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
  // A patch meets an archive other than the one it was made for; `finding` names the entries
  // that differ. Returns 1 to apply it all the same. By default the finding becomes a question;
  // a view that cannot ask (the terminal without --force, a check) shows it as a refusal.
  virtual int AskToApplyOnOtherBase(const std::string& finding);
  // How the person undoes a patch whose undo script is `undo_script`, as a line to add to the
  // patch's question and report. By default: double-click the undo script.
  virtual std::string UndoAdvice(const std::string& undo_script);

  // Worker thread.
  // Shows that the entry `index` (from 0) of `count` is being begun.
  virtual void ReportProgress(uint32_t index, uint32_t count) = 0;
  // The same for the parts of a mod written together, as one run: `index` of `count` counts the
  // entries of every part, and `bytes_written` is what all of them have written so far.
  virtual void ReportPartsProgress(uint32_t index, uint32_t count, uint64_t /*bytes_written*/) {
    ReportProgress(index, count);
  }
  // True once the person has asked the run to stop (the dialog is disabled or gone).
  virtual bool StopRequested() = 0;
  // The worker has finished; asks the view to close and report unless a stop was requested.
  virtual void RunFinished() = 0;
};

}  // namespace velmora
