// What the Studio has open: an archive, or a script with the archive it rebuilds; the pending
// changes; and the script they are saved to. Everything the window does to the data goes
// through here, so that it can be tested without a window.
#pragma once

#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "job/planned_entries.h"
#include "job/program_entry.h"
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
  // Every pair that is not kSame, entries only there included, as `velmora diff` lists them.
  std::vector<EntryPair> Differences;
};

// What a row of the list stands for, as a rebuild of the script, saved as it stands, would
// treat it.
enum class RowState : uint8_t {
  kUnchanged,      // written with its own bytes
  kChanged,        // written with other bytes
  kAdded,          // a new entry, written
  kDeleted,        // left out
  kNotCarriedOut,  // a rule line for an id the archive lacks, which the run leaves alone
  kFails,          // its rule cannot be carried out, or its bytes lie outside the archive: the
                   // rebuild fails there
  kNotReached,     // behind an entry whose bytes lie outside the archive: never reached
};

// The facts a row shows.
struct RowFacts {
  uint32_t Id = 0;
  RowState State = RowState::kUnchanged;
  // Of the bytes the rebuild writes; of the entry's own bytes when it writes none (deleted,
  // failing) and zero for a rule line that is not carried out.
  uint32_t Size = 0;
  EntryKind Kind = EntryKind::kEmpty;
  std::string Reason;  // kFails: why, in the catalogue's words; kNotCarriedOut: the rule line
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
  RowFacts Row(uint32_t position) { return Row(position, true); }
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

  // ---- The window's way to files: everything it reads or writes goes through these
  // (studio_document_files.cpp), so that no part of the window touches the file system.

  // What went wrong in one of them: which file or entry, and the system's reason.
  struct FileFailure {
    enum class Kind {
      kNone,
      kUnreadableEntry,  // `Id`'s bytes do not lie within the archive
      kExists,           // `Path` exists and is not overwritten
      kWriteFailed,      // `Path` could not be written: `Reason`
      kOpenFailed,       // `Path` could not be opened: `Reason`
      kNotWdf,           // `Path` is not an archive
      kNoSuchId,         // `Path` has no entry `Id`
    };
    Kind What = Kind::kNone;
    std::string Path;
    uint32_t Id = 0;
    std::string Reason;
  };

  // Writes the source entries at `positions` into `folder`, each under its extracted name.
  // Everything is checked before the first file is written, so a refusal leaves nothing; a write
  // that fails removes its file. False with `*failure`.
  bool ExtractEntries(const std::vector<uint32_t>& positions, const std::string& folder,
                      FileFailure* failure);

  // The first `limit` bytes a rebuild writes for `change` when they come from a file or from
  // another archive, their whole size and their kind. False with `*failure`.
  bool ReadTakenBytes(const PendingChange& change, size_t limit, std::string* bytes, uint64_t* size,
                      EntryKind* kind, FileFailure* failure);

  // True when the archive at `path` has an entry with `id`; false with `*failure`.
  bool OtherArchiveHas(const std::string& path, uint32_t id, FileFailure* failure);

  // Opens the archive held by the entry at `position` of `parent`, from its bytes there (no file
  // is written). It shows as `parent`'s name with the entry's id; nothing is saved from it.
  bool OpenNested(StudioDocument& parent, uint32_t position, FileFailure* failure);
  bool IsNested() const { return nested_; }

  // Runs the saved script, as Velmora.exe runs it, in `job` (new) through `view` and `front`. The
  // archive's own hold on its file is let go for the run, so that a rebuild in place can keep the
  // old archive as a backup, and taken again afterwards: on the new archive when the run wrote the
  // open archive anew (it then shows with no pending changes: they are its content now).
  struct RebuildResult {
    bool Written = false;    // the run wrote its target
    std::string TargetPath;  // the archive the run writes
    std::string BackupPath;  // the old archive's backup, after a rebuild in place
    std::string Problem;     // what went wrong taking the archive again, in the catalogue's words
  };
  RebuildResult RunRebuild(JobState& job, RunView& view, EntryFrontEnd& front);

  // The backups rebuilds in place kept of the open archive, oldest first: each with its size,
  // its last-write mark (the system's measure; 0 when unknown), its entry count (-1 when it
  // is no archive) and what replaced the archive it keeps. False when the archive's folder cannot
  // be read.
  struct Backup {
    std::string Path;
    uint64_t Size = 0;
    uint64_t Written = 0;
    int64_t Entries = -1;
    BackupMaker MadeBy = BackupMaker::kUnknown;  // the note's Script or Restored says which
    BackupNote Note;
  };
  bool Backups(std::vector<Backup>* backups);
  // Puts the backup at `backup_path` back in the open archive's place: copied beside it first,
  // then swapped in as a rebuild in place swaps, so that the archive it replaces is kept as a
  // backup itself (`*kept`) and no step loses either. The backup stays, so that it remains a
  // state to go back to, and the archive is opened anew (should that fail, `*problem` says why).
  // False with `*problem` in the catalogue's words; nothing changed then.
  bool RestoreBackup(const std::string& backup_path, std::string* kept, std::string* problem);
  FileSystem& Files() { return files_; }

 private:
  // After a run: the hold on the archive taken again, or the archive (or script) opened anew
  // when its file is no longer the one let go.
  void TakeArchiveAgain(RebuildResult* result);

  FileSystem& files_;
  std::unique_ptr<StudioArchive> archive_;
  PendingChanges changes_;
  // The text a save writes now, with the places it names; false when no such text can be made.
  bool PendingScript(std::string* text, ScriptPlaces* places);
  // Reads the rules of `script_` into rules_ and the changes. After a save, added entries the
  // changes hold keep their positions.
  void ReadRules(bool after_save);
  const PlannedEntry* PlannedAt(uint32_t position);
  // The row's facts; its kind only `with_kind`, since finding it may read the entry's bytes.
  RowFacts Row(uint32_t position, bool with_kind);

  ScriptPlaces places_;
  ScriptDocument script_;
  ScriptRules rules_;
  // What was worked out for the changes at `Revision`, once per change: every refresh of the
  // list reads it through flat arrays, a step per row.
  struct PlanCache {
    static constexpr uint32_t kNotPlanned = 0xFFFFFFFFu;
    uint64_t Revision = 0;
    EntryPlan Plan;
    ScriptDocument Script;
    std::vector<uint32_t> EntryOfSource;  // per source position: index in Plan.Entries
    // Added entries' positions with their index in Plan.Entries, by position.
    std::vector<std::pair<uint32_t, uint32_t>> EntryOfAdded;
    uint32_t DamagedAt = kNotPlanned;  // the source entry the rebuild stops at
    // Every row in the order the rebuild meets it, then those it never writes (see Rows).
    std::vector<uint32_t> Order;
    // Per index in Plan.Entries: the kind of bytes that are not the entry's own, once read.
    std::vector<uint8_t> Kinds;
  };
  // The index in plan_->Plan.Entries of the row at `position`, or kNotPlanned.
  uint32_t PlannedIndex(uint32_t position) const;
  std::unique_ptr<PlanCache> plan_;
  std::unique_ptr<ComparisonMarks> comparison_;
  std::string compared_path_;
  bool nested_ = false;  // opened from an entry's bytes in another archive
};

// True when `path` names a script (its name ends in .vlm in any letter case).
bool IsScriptPath(const std::string& path);

}  // namespace velmora
