// A RunView for tests: records every box and Progress report, Answers questions from a script
// of Answers, and asks the run to stop when told to.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "job/run_view.h"

namespace velmora {

class RecordingView : public RunView {
 public:
  struct Box {
    enum Type { kInfo, kError, kQuestion } Kind;
    std::string Text;
  };

  // Answers for the next questions, in order; once they run out every question gets `1` (OK).
  std::deque<int> Answers;
  std::vector<Box> Boxes;
  std::vector<uint32_t> Progress;  // the index of every reported entry
  // Stop requested before the entry with this index is begun (compared with reports so far).
  int64_t StopAfterReports = -1;
  int FinishedCalls = 0;
  // Called with the index of every reported entry, after it is recorded: lets a test act in the
  // middle of a run (change a file, fail).
  std::function<void(uint32_t)> OnReport;

  void ShowInfo(const std::string& text) override { Boxes.push_back({Box::kInfo, text}); }
  void ShowError(const std::string& text) override { Boxes.push_back({Box::kError, text}); }
  int AskOkCancel(const std::string& text) override {
    Boxes.push_back({Box::kQuestion, text});
    if (Answers.empty()) return 1;
    int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ReportProgress(uint32_t index, uint32_t) override {
    Progress.push_back(index);
    if (OnReport) OnReport(index);
  }
  bool StopRequested() override {
    return StopAfterReports >= 0 && static_cast<int64_t>(Progress.size()) >= StopAfterReports;
  }
  void RunFinished() override { ++FinishedCalls; }
};

}  // namespace velmora
