#include "job/paths.h"
#include "job/new_archive.h"

#include "job/archive_backups.h"
#include "job/patch_undo.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

void DiscardNewArchive(JobState& job, FileSystem& files) noexcept {
  job.TargetStream.reset();  // a file still open cannot be removed
  if (!job.TargetWritePath.empty()) {
    try {
      files.RemoveFile(job.TargetWritePath);
    } catch (...) {
      // Nothing more can be done for a file the system will not remove.
    }
    job.TargetWritePath.clear();
  }
  job.OldTarget.reset();
}

namespace {

// The new archive takes the name of its own source, whose old bytes are kept as a backup. A
// failed step leaves the old archive under its name; should even that be out of reach, the new
// archive is kept where it is, so that the next run or restore finishes the swap.
bool SwapInPlace(JobState& job, FileSystem& files, const std::string& written,
                 std::string* failure) {
  job.SourceStream.reset();  // the source is the archive renamed: it cannot stay open
  SwapStep failed = SwapStep::kNone;
  BackupNote note = NoteMadeNow(job.ScriptPath);
  if (job.Script) note.Patch = PatchIdOf(*job.Script);
  if (SwapInNewArchive(files, job.TargetPath, written, note, &job.BackupPath, &failed)) {
    job.TargetWritePath.clear();
    return true;
  }
  const std::string reason = HeldFileFailureReason(ShownPath(job.TargetPath));
  *failure = failed == SwapStep::kPlaceNew
                 ? Message(MessageKey::MsgTargetReplaceFailed, {ShownPath(job.TargetPath), reason})
                 : Message(MessageKey::MsgBackupFailed, {ShownPath(job.TargetPath), reason});
  job.BackupPath.clear();
  if (!files.FileIsPresent(job.TargetPath)) job.TargetWritePath.clear();
  DiscardNewArchive(job, files);
  return false;
}

}  // namespace

bool CommitNewArchive(JobState& job, FileSystem& files, std::string* failure) {
  const std::string written = job.TargetWritePath.empty() ? job.TargetPath : job.TargetWritePath;
  if (!job.TargetStream || !job.TargetStream->Flush()) {
    *failure = Message(MessageKey::MsgTargetWriteFailed,
                       {ShownPath(job.TargetPath), LastSystemErrorText()});
    DiscardNewArchive(job, files);
    return false;
  }
  job.TargetStream.reset();
  if (job.HoldNewArchive) return true;  // the mod's transaction places it
  job.OldTarget.reset();                // a file held open cannot be replaced
  if (job.InPlace) return SwapInPlace(job, files, written, failure);
  if (written != job.TargetPath && !files.RenameReplacing(written, job.TargetPath)) {
    *failure =
        Message(MessageKey::MsgTargetReplaceFailed,
                {ShownPath(job.TargetPath), HeldFileFailureReason(ShownPath(job.TargetPath))});
    DiscardNewArchive(job, files);
    return false;
  }
  job.TargetWritePath.clear();  // the file is the target now: nothing is left to give up
  return true;
}

}  // namespace velmora
