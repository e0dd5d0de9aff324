// The entry rules: what each source entry becomes in the new archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "job/entry_bytes.h"
#include "job/job_state.h"
#include "job/referenced_archives.h"
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
  RuleKind Kind = RuleKind::kKeep;
  std::string IdText;  // the text after '@' (internal reference, other archive)
};

// Decides the kind of a cleaned rule value.
Rule ClassifyRuleValue(const std::string& value);

// What the entry rules keep from one entry to the next during a run: the new archive's pending
// bytes (written to job.TargetStream), the source read ahead, and other archives' indexes.
struct RunBuffers {
  explicit RunBuffers(Stream& target) : Target(target), Copier(Target) {}
  TargetBuffer Target;
  EntryCopier Copier;
  ReferencedArchives Archives;
};

// The per-entry step of the pack run for element `i` (`entry`) of SourceIndex: reports
// progress, reserves the new index entry, finds and marks the rule line, and appends the chosen
// bytes to the target through `buffers`. False with ErrorText set when the rule cannot be
// carried out.
bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, RunBuffers& buffers,
                  Stream& source, uint32_t count, uint32_t i, WdfEntry& entry);

// Appends the new entry `id` that a rule line names and the source lacks (#AddEntries=yes), its
// bytes taken as the line's value says. A line that asks to keep or delete is left as it is:
// there is nothing to keep or delete, and it stays not executed. False with ErrorText set when
// the rule cannot be carried out.
bool ResolveNewEntry(JobState& job, FileSystem& files, RunBuffers& buffers, Stream& source,
                     uint32_t count, uint32_t id);

// Writes the bytes `buffers` still hold; when that fails, the run's failure is the write's
// (recorded in ErrorText) and the result is false.
bool WriteHeldBytes(JobState& job, RunBuffers& buffers);

// Searches SourceIndex[0, count) for the first entry with `id`; when found, copies its Offset
// and Size into `entry` and returns true. Uses job.SourceIds when it has been built, and scans
// SourceIndex from the start otherwise.
bool FindEntryInSource(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id);

// Builds job.SourceIds from the Ids of SourceIndex (once per run, after the index is loaded).
// May throw std::bad_alloc.
void BuildSourceIdLookup(JobState& job);

}  // namespace velmora
