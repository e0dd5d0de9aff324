// Every rule line of a script that would fail, not only the first one a run stops at, so that a
// modder can mend them all before the next try.
#pragma once

#include <vector>

#include "job/job_state.h"
#include "job/planned_entries.h"
#include "sys/file_system.h"

namespace velmora {

// The failing rule lines of the prepared `job`, found by the run's own plan of its entries (new
// entries included), in script order, each line with each reason once. `files` is asked about
// the files and other archives rules name, as the run asks it. Empty when the source's index
// cannot be read: the run has said why.
std::vector<PlannedFailure> FindEveryRuleFailure(const JobState& job, FileSystem& files);

}  // namespace velmora
