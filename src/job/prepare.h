// Job preparation: from a loaded script to an opened source, a created target and a checked
// source header, with the script's questions and every refusal of a run.
#pragma once

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

// True when the job is ready to run. Every refusal has been shown through `view`; a Cancel to
// a question ends it silently. Streams it opened stay in `job` whatever the result, with one
// exception: when the source proves not to be an archive, the file created for the new archive
// is closed and removed and an existing target released, so that nothing of the refused run
// is left and an existing target is exactly as it was.
//
// On success TargetStream is the new, empty archive file at TargetWritePath, a temporary file
// beside the target (TargetPath + ".vlmtmp", or ".vlmtmp1", ".vlmtmp2", ... when a name cannot
// be had; for one archive of a mod, HoldNewArchive, ModTemporaryName's names instead); a file that
// an earlier, killed run left under such a name is removed first. When the target exists (and the
// user allowed overwriting), OldTarget holds it open without sharing and untouched. The pack run
// moves the new archive over the target only when the run succeeds (CommitNewArchive).
bool PrepareJob(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
