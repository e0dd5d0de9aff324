// The pack runs of a mod's prepared parts shown as one run: one progress display over the
// entries of every part, and a failure or a stop of any part stops the others before their next
// entry. Writing two archives at once keeps the disk busy while the other one waits for its
// reads or its flush, which is where a mod of several archives loses its time.
#pragma once

#include <cstddef>
#include <vector>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

// How many of `parts` parts are written at the same time: one per processor, at most two (two
// keep one disk busy; more only make its reads jump between the files), and one when the mod has
// a single part or the machine a single processor.
unsigned ModPartThreads(size_t parts);

// Runs RunPack for every job of `parts` (each prepared, its new archive held), on at most
// `threads` threads, the parts taken in the mod's order. `view` sees them as one run: each
// begun entry is reported against the sum of the parts' entries (ReportPartsProgress), its stop
// request is asked before every entry of every part, and RunFinished comes once, after every
// part has ended. A part that fails stops the others before their next entry, and a part not
// begun by then is given up (DiscardNewArchive). Returns the part whose outcome the mod
// reports: the first in the mod's order that failed with a message, else the first that did not
// complete; -1 when every part succeeded.
int RunModParts(std::vector<JobState>& parts, FileSystem& files, RunView& view, unsigned threads);

// The end of RunModParts as a run's end is shown: the failure of the reported part `failed`, or,
// when every part succeeded, each part's own report (SuccessReport) in the mod's order.
void ReportModParts(const std::vector<JobState>& parts, int failed, RunView& view);

}  // namespace velmora
