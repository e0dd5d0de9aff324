// What the Studio has open: an archive, or a script with the archive it rebuilds; the pending
// changes; and the script they are saved to. Everything the window does to the data goes
// through here, so that it can be tested without a window.
#pragma once

#include <map>
#include <vector>
#include <memory>
#include <string>

#include "job/planned_entries.h"
#include "job/script_document.h"
#include "studio/entry_rows.h"
#include "studio/pending_changes.h"
#include "studio/studio_archive.h"
#include "studio/studio_script.h"
#include "sys/file_system.h"
#include "wdf/archive_diff.h"

namespace velmora {

// What a comparison with another archive found for the entries of the open one, paired as
// `velmora diff` pairs them (the k-th entry of an id with the k-th entry of that id there).
struct ComparisonMarks {
  std::vector<EntryChange> Entries;  // per entry: kSame, kChanged, or kRemoved (no partner there)
  size_t Differing = 0;              // entries that are not kSame
  size_t OnlyThere = 0;              // entries only the other archive has
};

// What a row of the list stands for, as a rebuild of the script, saved as it stands, would
// treat it.
enum class RowState : uint8_t {
  kUnchanged,      // written with its own bytes
  kChanged,        // written with other bytes
  kAdded,          // a new entry, written
  kDeleted,        // left out
  kNotCarriedOut,  // a rule line for an id the archive lacks, which the run leaves alone
  kFails,          // its rule cannot be carried out: the rebuild fails there
};

// The facts a row shows.
struct RowFacts {
  uint32_t Id = 0;
  RowState State = RowState::kUnchanged;
  // Of the bytes the rebuild writes; of the entry's own bytes when it writes none (deleted,
  // failing) and zero for a rule line that is not carried out.
  uint32_t Size = 0;
  EntryKind Kind = EntryKind::kEmpty;
  std::string Reason;  // kFails: why, in the catalogue's words
  int Line = -1;       // the rule line (counted from 0) of the script as it would be saved, or -1
};

// Rows for rule lines that are not carried out take positions from here on.
constexpr uint32_t kFirstDormantRow = 0xF0000000u;

class StudioDocument {
 public:
  explicit StudioDocument(FileSystem& files) : files_(files) {}

  // Opens an archive, or a script (a name ending in .vlm) with its source archive and its
  // rules as pending changes. False with `*problem` in the catalogue's words; what was open
  // stays open then.
  bool Open(const std::string& path, std::string* problem);

  bool IsOpen() const { return archive_ != nullptr; }
  StudioArchive& Archive() { return *archive_; }
  PendingChanges& Changes() { return changes_; }
  const PendingChanges& Changes() const { return changes_; }
  bool HasScript() const { return !places_.ScriptPath.empty(); }
  const std::string& ScriptPath() const { return places_.ScriptPath; }
  // The archive a run of the saved script writes; empty before the first save.
  const std::string& TargetPath() const { return places_.TargetPath; }
  bool InPlace() const { return places_.InPlace; }

  // Writes the script to `script_path` (the open script rewritten when it is the same file, a
  // new script otherwise), through a temporary file beside it so that a failed write leaves the
  // old script whole. False with either `*unwritable` (a path that no script can hold) or
  // `*problem` (the catalogue's words with the system's reason) set.
  bool SaveScript(const std::string& script_path, const ScriptTarget& target,
                  std::string* unwritable, std::string* problem);

  // What a rebuild of the script, saved as it stands, writes: worked out again whenever the
  // changes have moved since (or when `again`, after files on disk may have changed).
  const EntryPlan& Plan(bool again = false);
  // The facts of the row at `position` (an entry, an added entry or kFirstDormantRow + k).
  RowFacts Row(uint32_t position);
  // Up to `limit` of the first bytes the rebuild writes for the row (the entry's own bytes when
  // it writes none). False when they cannot be read.
  bool ReadRowBytes(uint32_t position, size_t limit, std::string* bytes);
  // The rows shown, in the order the rebuild meets them unless sorted by another column.
  std::vector<uint32_t> Rows(const RowFilter& filter, EntryColumn column, bool descending);
  // Every rule that would make a rebuild fail, by line, each once: what to say before a rebuild
  // starts, as `check` says it.
  std::vector<PlannedFailure> RebuildFailures();

  // An id no entry has yet and that no added entry has: an entry may be added with it.
  bool IdIsFree(uint32_t id) const;

  // Compares the open archive with the archive at `path`; false with `*problem` in the
  // catalogue's words when either cannot be read as a whole (an entry outside its file stops the
  // comparison, as it stops `velmora diff`).
  bool CompareWith(const std::string& path, std::string* problem);
  const ComparisonMarks* Comparison() const { return comparison_.get(); }
  const std::string& ComparedPath() const { return compared_path_; }

 private:
  FileSystem& files_;
  std::unique_ptr<StudioArchive> archive_;
  PendingChanges changes_;
  // The text a save writes now, with the places it names; false when no such text can be made.
  bool PendingScript(std::string* text, ScriptPlaces* places);
  // Reads the rules of `script_` into rules_, and into the changes when `load`; added ids that
  // the changes already hold keep their positions.
  void ReadRules(bool load);
  const PlannedEntry* PlannedAt(uint32_t position);

  ScriptPlaces places_;
  ScriptDocument script_;
  ScriptRules rules_;
  // What was worked out for the changes at plan_revision_.
  struct PlanCache {
    uint64_t Revision = 0;
    EntryPlan Plan;
    ScriptDocument Script;
    std::map<uint32_t, size_t> EntryOf;  // position -> index in Plan.Entries
    std::map<uint32_t, EntryKind> Kinds;
  };
  std::unique_ptr<PlanCache> plan_;
  std::unique_ptr<ComparisonMarks> comparison_;
  std::string compared_path_;
};

// True when `path` names a script (its name ends in .vlm in any letter case).
bool IsScriptPath(const std::string& path);

}  // namespace velmora
