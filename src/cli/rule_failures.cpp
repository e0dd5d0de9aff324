#include "cli/rule_failures.h"

#include <algorithm>
#include <utility>

#include "job/entry_rules.h"
#include "job/run_report.h"
#include "wdf/archive_index.h"

namespace velmora {
std::vector<RuleFailure> FindEveryRuleFailure(JobState& job, DryRunFileSystem& files,
                                              RunView& view) {
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
  // The bytes go to a file of the dry run, which only counts them.
  std::unique_ptr<Stream> target = files.CreateExclusive(job.TargetWritePath);
  if (!target) return failures;
  try {
    RunBuffers buffers(*target);
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
