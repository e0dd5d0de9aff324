// The file that a run writes its new archive into, from preparation to the end of the run.
#pragma once

#include <string>

#include "job/job_state.h"
#include "sys/file_system.h"

namespace velmora {

// Gives up the new archive: its file (TargetWritePath) is closed and removed, and an existing
// target that was held for the run is released exactly as it was. For every way a run ends
// without a complete archive: a refused preparation, a failed or cancelled run, a dialog that
// could not be shown.
void DiscardNewArchive(JobState& job, FileSystem& files) noexcept;

// Makes the complete new archive the target, in an order that lets a crash, a kill or a power
// cut at any moment leave either the old target as it was or the whole new archive: the
// archive's bytes are flushed to the disk while it is still a file of its own, the held old
// target is released, and the file takes the target's name in one durable rename. On failure
// the new archive is given up (DiscardNewArchive), the old target stays, and `*failure` is the
// run's message: the target-write failure when the bytes could not be flushed, the replacement
// failure when the name could not be taken, each with the system's reason.
//
// In place (job.InPlace) the source is closed and the old archive is kept under a new backup
// name (BackupPath) before the new one takes its name (SwapInNewArchive); the backup's failure
// is MsgBackupFailed.
//
// For one archive of a mod (job.HoldNewArchive) the flushed archive stays where it is, closed.
bool CommitNewArchive(JobState& job, FileSystem& files, std::string* failure);

}  // namespace velmora
