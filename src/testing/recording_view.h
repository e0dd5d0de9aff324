// A RunView for tests: records every box and progress report, answers questions from a script
// of answers, and asks the run to stop when told to.
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
    enum Kind { kInfo, kError, kQuestion } kind;
    std::string text;
  };

  // Answers for the next questions, in order; once they run out every question gets `1` (OK).
  std::deque<int> answers;
  std::vector<Box> boxes;
  std::vector<uint32_t> progress;  // the index of every reported entry
  // Stop requested before the entry with this index is begun (compared with reports so far).
  int64_t stop_after_reports = -1;
  int finished_calls = 0;
  // Called with the index of every reported entry, after it is recorded: lets a test act in the
  // middle of a run (change a file, fail).
  std::function<void(uint32_t)> on_report;

  void ShowInfo(const std::string& text) override { boxes.push_back({Box::kInfo, text}); }
  void ShowError(const std::string& text) override { boxes.push_back({Box::kError, text}); }
  int AskOkCancel(const std::string& text) override {
    boxes.push_back({Box::kQuestion, text});
    if (answers.empty()) return 1;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ReportProgress(uint32_t index, uint32_t) override {
    progress.push_back(index);
    if (on_report) on_report(index);
  }
  bool StopRequested() override {
    return stop_after_reports >= 0 && static_cast<int64_t>(progress.size()) >= stop_after_reports;
  }
  void RunFinished() override { ++finished_calls; }
};

}  // namespace velmora
