// The entry rules: what each source entry becomes in the new archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "job/entry_bytes.h"
#include "job/files_opened_ahead.h"
#include "job/job_state.h"
#include "job/referenced_archives.h"
#include "job/run_view.h"
#include "job/script.h"
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

// The script's entry rule lines by id, found in one pass over the script when first asked, so
// that a run of many entries pays for the lookup of each in a short, ordered table.
class EntryRuleLines {
 public:
  // The line that FindScriptKey(script, EntryKey(id)) finds, or -1. `script` is the same on
  // every call.
  int Find(const ScriptLines& script, uint32_t id);

 private:
  void Build(const ScriptLines& script);

  bool built_ = false;
  // False when some name may equal an entry key only as the system compares texts: every id is
  // then looked up in the script itself.
  bool by_id_ = false;
  // The first line of each id, sorted by id.
  std::vector<std::pair<uint32_t, int>> lines_;
  // Where the last lookup ended: ids asked in ascending order are found by a step forward.
  size_t next_ = 0;
};

// The rule lines a run has reached. A line is marked once every byte written before it was
// reached is in the file: until then it waits here, so that a write that fails gives back
// exactly the lines reached after the byte it failed at, as if each piece had been written
// before the next line was reached. What still waits when the run lets go of it is marked then.
class ReachedRules {
 public:
  ReachedRules() = default;
  ReachedRules(const ReachedRules&) = delete;
  ReachedRules& operator=(const ReachedRules&) = delete;
  ~ReachedRules();

  // `line` of job.Script is reached where the new archive's bytes stand at `position`.
  void Reach(JobState& job, int line, uint64_t position);
  size_t Waiting() const { return waiting_.size(); }
  // The bytes before `written` are in the file: the lines reached up to there are marked.
  void Settle(uint64_t written);
  // A write failed at byte `failed_at`: lines reached after it were never reached.
  void GiveBackAfter(uint64_t failed_at);
  // job.ErrorRule becomes the cleaned text of the line reached last, when one was.
  void NameLast() noexcept;

 private:
  struct WaitingLine {
    uint64_t Position;
    int Line;
  };
  JobState* job_ = nullptr;
  std::vector<WaitingLine> waiting_;
  int last_marked_ = -1;
};

// What the entry rules keep from one entry to the next during a run: the new archive's pending
// bytes (written to job.TargetStream), the source read ahead, other archives' indexes, the
// script's rule lines by id, the lines reached and the rules' files opened ahead, if any.
struct RunBuffers {
  explicit RunBuffers(Stream& target) : Target(target), Copier(Target) {}
  TargetBuffer Target;
  EntryCopier Copier;
  ReferencedArchives Archives;
  EntryRuleLines Lines;
  ReachedRules Reached;
  // Last, so that its files are closed first when the run lets go of everything.
  std::unique_ptr<FilesOpenedAhead> FilesAhead;
};

// The files that rules of the source's entries name as whole files (RuleKind::kExternalFile), in
// the order a run reaches them, up to the first that names the target (where the run ends).
std::vector<std::string> RuleFilesInWalkOrder(const JobState& job, EntryRuleLines& lines);

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
// (recorded in ErrorText, the lines reached after the failed byte given back) and the result is
// false.
bool WriteHeldBytes(JobState& job, RunBuffers& buffers);

// Searches SourceIndex[0, count) for the first entry with `id`; when found, copies its Offset
// and Size into `entry` and returns true. Uses job.SourceIds when it has been built, and scans
// SourceIndex from the start otherwise.
bool FindEntryInSource(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id);

// Builds job.SourceIds from the Ids of SourceIndex (once per run, after the index is loaded).
// May throw std::bad_alloc.
void BuildSourceIdLookup(JobState& job);

}  // namespace velmora
