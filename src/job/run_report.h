// The outcome of a run and the report that ends it, read from what the worker left in JobState.
// Both front-ends decide and word the end of a run with these functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "job/job_state.h"

namespace velmora {

// A run succeeded when every entry of the source was begun and the worker recorded no error.
// `entries_begun` is what the display counted (the progress position).
bool RunSucceeded(const JobState& job, uint32_t entries_begun);

// The error report of a failed or cancelled run: the worker's message with the rule line it was
// carrying out, or, when the worker recorded none (a cancel), that the task was interrupted.
std::string FailureReport(const JobState& job);

// The information report of a successful run, or nothing when the script has no #RunEnd line:
// the script's own end text (or the standard success message), then the number of deleted
// entries when any were deleted, the number of added entries when any were added, the backup a
// run in place kept, then the rule lines that no entry reached.
std::optional<std::string> SuccessReport(const JobState& job);

// "\r" and one cleaned line for every rule line that no entry reached, in script order.
std::string UnexecutedRules(const ScriptLines& script);

}  // namespace velmora
