#include "job/paths.h"
#include "job/new_archive.h"

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

bool CommitNewArchive(JobState& job, FileSystem& files, std::string* failure) {
  const std::string written = job.TargetWritePath.empty() ? job.TargetPath : job.TargetWritePath;
  if (!job.TargetStream || !job.TargetStream->Flush()) {
    *failure = Message(MessageKey::MsgTargetWriteFailed,
                       {ShownPath(job.TargetPath), LastSystemErrorText()});
    DiscardNewArchive(job, files);
    return false;
  }
  job.TargetStream.reset();
  job.OldTarget.reset();  // a file held open cannot be replaced
  if (written != job.TargetPath && !files.RenameReplacing(written, job.TargetPath)) {
    *failure = Message(MessageKey::MsgTargetReplaceFailed,
                       {ShownPath(job.TargetPath), LastSystemErrorText()});
    DiscardNewArchive(job, files);
    return false;
  }
  job.TargetWritePath.clear();  // the file is the target now: nothing is left to give up
  return true;
}

}  // namespace velmora
