// Every rule line of a script that would fail, not only the first one a run stops at, so that a
// modder can mend them all before the next try.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/dry_run_file_system.h"
#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

struct RuleFailure {
  size_t Line = 0;     // of the rule line, counted from 1; 0 when the rule has no line
  std::string Rule;    // the cleaned rule line, as the run's failure quotes it
  std::string Report;  // the whole text the run would show for it
  std::string Reason;  // its last part: why the rule cannot be carried out
};

// Walks every entry of the prepared `job`'s source against its rule, as the run does, but goes
// on after a rule fails; the bytes go to a file of the dry run. Returns the failing rule lines in
// script order, each once. The job's run must be over: its index buffers are made anew here and
// released. `view` sees every entry begun; its stop request ends the walk.
std::vector<RuleFailure> FindEveryRuleFailure(JobState& job, DryRunFileSystem& files,
                                              RunView& view);

}  // namespace velmora
