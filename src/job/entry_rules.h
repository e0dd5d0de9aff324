// The entry rules: what each source entry becomes in the new archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// What a rule value asks for, decided in this order: keep, internal reference, delete, invalid
// internal id, a value ending with '/', an entry of another archive, a whole external file.
enum class RuleKind {
  kKeep,
  kInternalReference,
  kDelete,
  kInternalIdInvalid,
  kExternalRefInvalid,
  kArchiveEntry,
  kExternalFile,
};

struct Rule {
  RuleKind kind = RuleKind::kKeep;
  std::string id_text;  // the text after '@' (internal reference, other archive)
};

// Decides the kind of a cleaned rule value.
Rule ClassifyRuleValue(const std::string& value);

// The per-entry step of the pack run for element `i` (`entry`) of SourceIndex: reports
// progress, reserves the new index entry, finds and marks the rule line, and appends the chosen
// bytes to the target. False with ErrorText set when the rule cannot be carried out.
bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, Stream& source, uint32_t count,
                  uint32_t i, WdfEntry& entry);

// Searches SourceIndex[0, count) for the first entry with `id`; when found, copies its Offset
// and Size into `entry` and returns true. Uses job.SourceIds when it has been built, and scans
// SourceIndex from the start otherwise.
bool FindEntryInSource(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id);

// Builds job.SourceIds from the Ids of SourceIndex (once per run, after the index is loaded).
// May throw std::bad_alloc.
void BuildSourceIdLookup(JobState& job);

// The largest piece of an entry's bytes held in memory at once while it is copied.
constexpr size_t kCopyBufferSize = 61440;

// Parses the text of a hexadecimal id: one or more of 0-9, A-F, a-f, value at most 0xFFFFFFFF
// (leading zeros allowed). No sign, blank or prefix.
bool ParseHexId(const std::string& text, uint32_t* id);

}  // namespace velmora
