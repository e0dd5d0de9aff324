// Job preparation: from a loaded script to an opened source, a created target and a checked
// source header, with the script's questions and every refusal of a run.
#pragma once

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

// True when the job is ready to run. Every refusal has been shown through `view`; a Cancel to
// a question ends it silently. Streams it opened stay in `job` whatever the result.
bool PrepareJob(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
