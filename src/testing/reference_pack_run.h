// The pack run done the plain way, step by step as its algorithms read: every rule line found by
// comparing the script's lines in order, every internal reference by scanning the source index,
// every other archive opened, checked and searched one index entry at a time, every copy through
// one buffer of 61,440 bytes straight to the target, nothing kept from one entry to the next.
// Tests run it beside RunPack on the same inputs: whatever RunPack does to be fast, it must give
// the same archive, marks, failure and report.
#pragma once

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

// Same contract as RunPack.
void ReferenceRunPack(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
