// The entry rules: what each source entry becomes in the new archive.
#pragma once

#include <cstdint>
#include <string>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// The per-entry step of the pack run for element `i` (`entry`) of SourceIndex: reports
// progress, reserves the new index entry, finds and marks the rule line, and appends the chosen
// bytes to the target. False with ErrorText set when the rule cannot be carried out.
bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, Stream& source,
                  uint32_t count, uint32_t i, WdfEntry& entry);

// Searches SourceIndex[0, count) for the first entry with `id`; when found, copies its Offset
// and Size into `entry` and returns true.
bool FindEntryInSource(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id);

// Parses the text of a hexadecimal id: one or more of 0-9, A-F, a-f, value at most 0xFFFFFFFF
// (leading zeros allowed). No sign, blank or prefix.
bool ParseHexId(const std::string& text, uint32_t* id);

}  // namespace velmora
