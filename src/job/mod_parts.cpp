#include "job/mod_parts.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "job/new_archive.h"
#include "job/pack_run.h"
#include "job/run_report.h"

namespace velmora {
namespace {

// What the parts' runs share: the one view, which hears them one at a time, and the stop that
// a failing part gives the others.
class SharedRun {
 public:
  SharedRun(RunView& view, const std::vector<JobState>& parts) : view_(view), bytes_(parts.size()) {
    for (const JobState& part : parts) total_ += part.SourceCount;
  }

  void EntryBegun(size_t part, uint64_t part_bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    written_ += part_bytes - bytes_[part];
    bytes_[part] = part_bytes;
    view_.ReportPartsProgress(begun_++, total_, written_);
  }
  bool StopRequested() {
    if (stop_.load()) return true;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (view_.StopRequested()) stop_.store(true);
    return stop_.load();
  }
  void Stop() { stop_.store(true); }

 private:
  RunView& view_;
  std::mutex mutex_;
  std::vector<uint64_t> bytes_;  // written by each part when it last began an entry
  uint64_t written_ = 0;
  uint32_t begun_ = 0;
  uint32_t total_ = 0;
  std::atomic<bool> stop_{false};
};

// One part's view of the shared run. The pack run asks only for progress and the stop; the
// parts' questions and reports come before and after, on the caller's thread.
class PartView final : public RunView {
 public:
  PartView(SharedRun& shared, const JobState& part, size_t index)
      : shared_(shared), part_(part), index_(index) {}

  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string&) override {}
  int AskOkCancel(const std::string&) override { return 0; }
  void ReportProgress(uint32_t, uint32_t) override {
    ++begun_;
    // The part's own stream, read on the thread that writes it.
    shared_.EntryBegun(index_, part_.TargetStream ? part_.TargetStream->Position() : 0);
  }
  bool StopRequested() override { return shared_.StopRequested(); }
  void RunFinished() override {}

  uint32_t EntriesBegun() const { return begun_; }

 private:
  SharedRun& shared_;
  const JobState& part_;
  size_t index_;
  uint32_t begun_ = 0;
};

}  // namespace

unsigned ModPartThreads(size_t parts) {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<size_t>({parts, processors, 2}));
}

int RunModParts(std::vector<JobState>& parts, FileSystem& files, RunView& view, unsigned threads) {
  SharedRun shared(view, parts);
  std::vector<PartView> views;
  views.reserve(parts.size());
  for (size_t k = 0; k < parts.size(); ++k) views.emplace_back(shared, parts[k], k);
  std::vector<char> completed(parts.size(), 0);
  std::atomic<size_t> next{0};
  const auto write_parts = [&] {
    for (size_t k; (k = next.fetch_add(1)) < parts.size();) {
      if (shared.StopRequested()) {
        DiscardNewArchive(parts[k], files);
        continue;
      }
      RunPack(parts[k], files, views[k]);
      completed[k] =
          RunSucceeded(parts[k], views[k].EntriesBegun()) && !parts[k].TargetWritePath.empty();
      if (!completed[k]) shared.Stop();
    }
  };
  std::vector<std::thread> workers;
  try {
    for (unsigned t = 1; t < std::min<size_t>(threads, parts.size()); ++t) {
      workers.emplace_back(write_parts);
    }
  } catch (...) {
    // No further thread could be started: the threads there are take every part.
  }
  write_parts();
  for (std::thread& worker : workers) worker.join();
  try {
    view.RunFinished();
  } catch (...) {
  }
  int stopped = -1;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (completed[k]) continue;
    if (!parts[k].ErrorText.empty()) return static_cast<int>(k);
    if (stopped < 0) stopped = static_cast<int>(k);
  }
  return stopped;
}

void ReportModParts(const std::vector<JobState>& parts, int failed, RunView& view) {
  if (failed >= 0) {
    view.ShowError(FailureReport(parts[static_cast<size_t>(failed)]));
    return;
  }
  for (const JobState& part : parts) {
    if (std::optional<std::string> report = SuccessReport(part)) view.ShowInfo(*report);
  }
}

}  // namespace velmora
