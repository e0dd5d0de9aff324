#include "cli/rule_failures.h"

#include <algorithm>

#include "wdf/archive_index.h"

namespace velmora {

std::vector<PlannedFailure> FindEveryRuleFailure(const JobState& job, FileSystem& files) {
  if (!job.SourceStream || !job.Script) return {};
  ArchiveIndex index;
  if (ReadArchiveIndex(*job.SourceStream, &index) != ArchiveFault::kNone) return {};
  std::vector<PlannedFailure> failures =
      PlanEntries(*job.Script, index.Entries, *job.SourceStream,
                  {job.ScriptDir, job.SourcePath, job.TargetPath}, files)
          .Failures;
  // A rule line for an id the source holds twice fails once for each entry.
  std::stable_sort(
      failures.begin(), failures.end(),
      [](const PlannedFailure& a, const PlannedFailure& b) { return a.Line < b.Line; });
  failures.erase(std::unique(failures.begin(), failures.end(),
                             [](const PlannedFailure& a, const PlannedFailure& b) {
                               return a.Line == b.Line && a.Reason == b.Reason;
                             }),
                 failures.end());
  return failures;
}

}  // namespace velmora
