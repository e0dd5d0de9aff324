// The pack run: the worker's body, which writes the target archive of a prepared job.
#pragma once

#include <cstdint>
#include <functional>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// The per-entry step: (source stream, count, index i, element i of SourceIndex) -> go on?
using EntryStep = std::function<bool(Stream& source, uint32_t count, uint32_t i, WdfEntry& entry)>;

// Walks SourceIndex: before each entry the stop check and the bounds check, then `step` (when
// given). False when the walk stopped early (ErrorText set, except after a stop request).
bool WalkSourceIndex(JobState& job, RunView& view, const EntryStep& step, uint32_t count);

// The worker's body: placeholder header, source index, walk, then index and header of the new
// archive (which replaces an existing target) or the partial file removed; then
// view.RunFinished(). Never throws.
void RunPack(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
