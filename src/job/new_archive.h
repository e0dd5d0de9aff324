// The file that a run writes its new archive into, from preparation to the end of the run.
#pragma once

#include "job/job_state.h"
#include "sys/file_system.h"

namespace velmora {

// Gives up the new archive: its file (TargetWritePath) is closed and removed, and an existing
// target that was held for the run is released exactly as it was. For every way a run ends
// without a complete archive: a refused preparation, a failed or cancelled run, a dialog that
// could not be shown.
void DiscardNewArchive(JobState& job, FileSystem& files) noexcept;

}  // namespace velmora
