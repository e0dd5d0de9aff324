#include "job/new_archive.h"

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

}  // namespace velmora
