#include "cli/rule_failures.h"

#include <algorithm>
#include <utility>

#include "job/entry_rules.h"
#include "job/run_report.h"
#include "wdf/archive_index.h"

namespace velmora {
namespace {

// Where the walk's bytes go: nowhere, every write succeeding.
class DiscardingStream final : public Stream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void*, size_t n) override {
    position_ += n;
    return true;
  }
  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    *size = position_;
    return true;
  }
  bool Flush() override { return true; }

 private:
  uint64_t position_ = 0;
};

}  // namespace

std::vector<RuleFailure> FindEveryRuleFailure(JobState& job, FileSystem& files, RunView& view) {
  std::vector<RuleFailure> failures;
  if (!job.SourceStream || !job.Script) return failures;
  ArchiveIndex index;
  if (ReadArchiveIndex(*job.SourceStream, &index) != ArchiveFault::kNone) return failures;
  const uint32_t count = static_cast<uint32_t>(index.Entries.size());
  job.SourceIndex = index.Entries;
  job.TargetIndex.assign(count, WdfEntry{});
  job.TargetCount = 0;
  BuildSourceIdLookup(job);

  const std::string first_error = job.ErrorText;
  const std::string first_rule = job.ErrorRule;
  DiscardingStream target;
  try {
    RunBuffers buffers(target);
    for (uint32_t i = 0; i < count && !view.StopRequested(); ++i) {
      if (!EntryInBounds(job.SourceIndex[i], index.FileSize, count)) break;  // the source's fault
      const uint32_t id = job.SourceIndex[i].Id;
      job.ErrorText.clear();
      if (ResolveEntry(job, files, view, buffers, *job.SourceStream, count, i,
                       job.SourceIndex[i])) {
        continue;
      }
      const int line = FindScriptKey(*job.Script, EntryKey(id));
      failures.push_back({line < 0 ? 0 : static_cast<size_t>(line) + 1, job.ErrorRule,
                          FailureReport(job), job.ErrorText});
    }
  } catch (...) {
    // A lack of memory ends the search; what was found so far is still true.
  }
  job.ErrorText = first_error;
  job.ErrorRule = first_rule;
  std::vector<WdfEntry>().swap(job.SourceIndex);
  std::vector<WdfEntry>().swap(job.TargetIndex);
  std::stable_sort(failures.begin(), failures.end(),
                   [](const RuleFailure& a, const RuleFailure& b) { return a.Line < b.Line; });
  failures.erase(std::unique(failures.begin(), failures.end(),
                             [](const RuleFailure& a, const RuleFailure& b) {
                               return a.Line == b.Line && a.Report == b.Report;
                             }),
                 failures.end());
  return failures;
}

}  // namespace velmora
