// The transaction of a mod: several archives that take their new bytes together or not at all.
//
// Before the journal: every new archive is complete, flushed and closed under its temporary name
// beside its archive (ModTemporaryName: a name of its own, which no single run writes, reuses or
// completes), and a backup name is reserved for each (an empty file) with its note beside it.
// Nothing has changed yet; a failure or a kill leaves every archive as it was.
//
// The journal (ModJournalPath in the mod's base folder) is written under a temporary name,
// flushed, and renamed into place: from that rename on, its presence marks the transaction in
// progress. It names every archive, its backup and its temporary file. Then, archive by archive,
// the archive is renamed to its backup and the temporary file to the archive. Then the mod's
// record is written (for an undo), and the journal removed.
//
// The next run finds the journal and completes it: forward when every archive's new bytes are at
// hand (its temporary file written in full, or already in place), which the order above makes
// the rule; back otherwise, each backup returning to its archive's name. Each step looks at the
// files before it acts, so a completion that is itself cut short is completed again.
#pragma once

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "sys/file_system.h"

namespace velmora {

struct ModArchive {
  std::string Archive;
  std::string Backup;     // the old archive's name once it is replaced
  std::string Temporary;  // the complete new archive until it takes the archive's name
};

struct ModJournal {
  std::string Record;  // written when the transaction is complete (empty: none)
  std::string Retire;  // removed when the transaction is complete (empty: none)
  std::vector<ModArchive> Archives;
};

// The journal of a mod whose archives lie in and below `base_dir` (ending with a separator).
std::string ModJournalPath(const std::string& base_dir);

// The temporary names of a mod's new archive beside its archive: path + ".vlmmod", then
// ".vlmmod1", ".vlmmod2", ... A single run's temporary names (TemporaryArchiveName) are others,
// so that a single run never removes or completes the new archive of a mod in progress.
std::string ModTemporaryName(const std::string& archive_path, int attempt);

std::string FormatModJournal(const ModJournal& journal);
// False for any text that FormatModJournal did not write.
bool ParseModJournal(const std::string& text, ModJournal* journal);

// Writes `bytes` as the file `path` so that a kill or a power cut at any moment leaves either
// the earlier file under that name (or none) or the whole new one: under a temporary name,
// flushed, then renamed. On failure the temporary file is removed.
bool WriteWholeFile(FileSystem& files, const std::string& path, const std::string& bytes);
// The whole file; false when it cannot be opened or read.
bool ReadWholeFile(FileSystem& files, const std::string& path, std::string* bytes);

enum class ModCompletion {
  kForward,     // every archive has its new bytes, every old archive is a backup
  kBack,        // every archive is as it was before the transaction
  kUnfinished,  // a step failed: the journal stays for the next run
};

// Carries the transaction of the journal at `journal_path` to its end in the direction its
// files allow (see above), then writes the record and retires what the journal names, and
// removes the journal. `*failure` says why the journal could not be read (empty when it could).
ModCompletion CompleteModJournal(FileSystem& files, const std::string& journal_path,
                                 std::string* failure);

// Runs a whole transaction: the new archives are complete under their temporary names
// (journal.Archives[k].Temporary); backups are reserved, each with its note (notes[k]: what made
// it), the journal written and completed. kBack when it could not go forward (nothing changed,
// temporary files, reservations and notes removed), with the failure's message in `*failure`;
// kUnfinished when even going back failed.
ModCompletion CommitMod(FileSystem& files, const std::string& journal_path, ModJournal& journal,
                        const std::vector<BackupNote>& notes, std::string* failure);

// Removes what a write of the journal at `journal_path` left when it was cut short before its
// rename: that file never marked a transaction in progress.
void DiscardCutShortJournal(FileSystem& files, const std::string& journal_path);

// Removes the temporary files of a transaction that will not take place.
void DiscardModTemporaries(FileSystem& files, const ModJournal& journal);

}  // namespace velmora
