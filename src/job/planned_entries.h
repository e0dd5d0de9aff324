// The entries a run of a script will write, found without writing them: for every entry of the
// new archive, in the order the run writes it, where its bytes come from; the rules that cannot
// be carried out, each with the run's own message; and the rule lines for ids the source lacks
// that the run leaves alone. The decisions are the run's own (its classification of rule values,
// its lookup of rule lines, its placing of new entries, its search of other archives), so that
// whoever shows a run's result before the run shows what the run will do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/entry_rules.h"
#include "job/script.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// What becomes of an entry.
enum class EntryFate : uint8_t {
  kKept,      // a source entry written with its own bytes
  kReplaced,  // a source entry written with other bytes
  kAdded,     // an entry the source lacks (#AddEntries=yes)
  kDeleted,   // a source entry left out
};

// Where the bytes written for an entry come from.
enum class BytesFrom : uint8_t {
  kNothing,       // deleted, or a rule that cannot be carried out
  kSource,        // a stretch of the source archive (the entry's own or another entry's bytes)
  kOtherArchive,  // an entry of another archive, at `Path`
  kFile,          // the whole file at `Path`
};

// No text: an entry that reads no file, or whose rule can be carried out.
constexpr uint32_t kNoPlannedText = 0xFFFFFFFFu;

// One entry as the run meets it. It holds no text of its own, only indexes into its plan's
// tables of the few distinct paths and reasons, so that a million kept entries cost some 40
// bytes each.
struct PlannedEntry {
  uint64_t Offset = 0;  // kSource, kOtherArchive: where the bytes start in the file
  uint32_t Id = 0;
  uint32_t SourcePosition = 0;     // the source entry's position (not for added entries)
  int Line = -1;                   // the rule line the run takes, or -1
  uint32_t Size = 0;               // the bytes written
  uint32_t Path = kNoPlannedText;  // kOtherArchive, kFile: the file read, in EntryPlan::Paths
  // Why the run cannot carry the rule out, as the run says it, in EntryPlan::Reasons.
  uint32_t Failure = kNoPlannedText;
  EntryFate Fate = EntryFate::kKept;
  BytesFrom From = BytesFrom::kNothing;
  RuleKind Kind = RuleKind::kKeep;  // the rule's kind; kKeep without a rule line

  bool Fails() const { return Failure != kNoPlannedText; }
  // Neither deleted nor failed: the run writes it.
  bool Writes() const { return Fate != EntryFate::kDeleted && !Fails(); }
};

// A rule line that cannot be carried out: where it is, the line as the run quotes it, and why.
struct PlannedFailure {
  size_t Line = 0;  // counted from 1; 0 when no rule line is to blame (the source is damaged)
  std::string Rule;
  std::string Reason;
};

struct EntryPlan {
  // Every source entry and every new entry, in the order the run meets them; deleted entries
  // and rules that fail stand where the run meets them and write nothing.
  std::vector<PlannedEntry> Entries;
  // In the order the run meets them; the first is where a run stops.
  std::vector<PlannedFailure> Failures;
  // Rule lines (0-based) for ids the source lacks that the run does not carry out: all of them
  // without #AddEntries=yes, and those that ask to keep or delete with it.
  std::vector<size_t> DormantLines;
  // The source is damaged at this entry (it breaks the bounds rule): the run stops there, and
  // nothing from it on is planned.
  bool SourceDamaged = false;
  // The distinct files rules read and the distinct reasons rules fail, each once.
  std::vector<std::string> Paths;
  std::vector<std::string> Reasons;

  // The file `entry` reads; empty when it reads none.
  const std::string& PathOf(const PlannedEntry& entry) const {
    return entry.Path == kNoPlannedText ? NoText() : Paths[entry.Path];
  }
  // Why the run cannot carry out `entry`'s rule; empty when it can.
  const std::string& FailureOf(const PlannedEntry& entry) const {
    return entry.Fails() ? Reasons[entry.Failure] : NoText();
  }

 private:
  static const std::string& NoText();
};

// Where a run of the script reads and writes: the paths preparation finds.
struct PlanPlaces {
  std::string ScriptDir;   // ending in its separator
  std::string SourcePath;  // the source archive
  std::string TargetPath;  // the archive the run writes (rules may not read it)
};

// Plans the run of `script` over the source archive open as `source` with the index `index`.
// `files` is asked, as the run asks it, about the files and other archives rules name.
EntryPlan PlanEntries(const ScriptLines& script, const std::vector<WdfEntry>& index, Stream& source,
                      const PlanPlaces& places, FileSystem& files);

// The written entries of `plan` (neither deleted nor failed), in order.
std::vector<const PlannedEntry*> WrittenEntries(const EntryPlan& plan);

// Up to `limit` of the first bytes the run writes for `entry`, read from where they come from.
// False when they cannot be read.
bool ReadPlannedBytes(FileSystem& files, Stream& source, const EntryPlan& plan,
                      const PlannedEntry& entry, size_t limit, std::string* bytes);

}  // namespace velmora
