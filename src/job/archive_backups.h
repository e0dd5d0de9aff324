// The way back from an archive patched in place: the old archive is kept beside it under a
// backup name (ui.wdf.1.bak, ui.wdf.2.bak, ...) that never replaces an earlier backup, and the
// swap of old and new is done in steps that a kill or a power cut can interrupt at any moment
// without losing either archive.
//
// The swap: (1) the backup name is reserved as an empty file, created only when no file has the
// name; (2) the old archive is renamed to the backup name; (3) the complete new archive, flushed
// while still under its temporary name, is renamed to the archive's name. Interrupted after (1)
// the archive is as it was and an empty backup file remains, which no listing counts; after (2)
// the archive's name is free and the complete new archive waits under its temporary name:
// RecoverInterruptedSwap finishes the swap.
//
// What made a backup is kept beside it in a note ("<backup>.info"), written and flushed after the
// reservation and before the old archive takes the backup's name: a backup either has its note or
// (made by an earlier version, or the note could not be written) none, never a note of another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

// How many temporary names beside an archive a run tries for its new archive.
constexpr int kTemporaryNameAttempts = 100;

// The temporary names beside an archive: path + ".vlmtmp", then ".vlmtmp1", ".vlmtmp2", ...
std::string TemporaryArchiveName(const std::string& archive_path, int attempt);

// path + "." + number + ".bak".
std::string BackupName(const std::string& archive_path, uint32_t number);

// Creates the empty file that holds the next backup name of the archive, one above every backup
// number in use (empty reservations included), so that no earlier backup is ever replaced.
bool ReserveBackupName(FileSystem& files, const std::string& archive_path, std::string* backup);
// What replaced the archive whose bytes a backup keeps.
struct BackupNote {
  int64_t Made = 0;       // when, in seconds since 1970 (UTC); 0 when unknown
  std::string Script;     // the script whose run replaced it (a patch's, an undo's, any other)
  std::string Patch;      // that script's #PatchId, when it was a patch
  std::string Undo;       // that script's #Restore, when it was the undo of a patch
  uint32_t Restored = 0;  // the backup that a restore put in its place
};

// A note made now, for a run of `script` (empty for a restore).
BackupNote NoteMadeNow(const std::string& script);

// What replaced the archive a backup keeps, as every program names it; the note's Script (or
// for a restore its Restored) says which.
enum class BackupMaker { kUnknown, kRestore, kUndo, kPatch, kScript };

// backup path + ".info"
std::string BackupNoteName(const std::string& backup_path);

// Writes and flushes the note beside a reserved backup name. A note that cannot be written is
// left out: the backup matters, the note only says where it came from.
void WriteBackupNote(FileSystem& files, const std::string& backup, const BackupNote& note);

struct ArchiveBackup {
  std::string Path;
  uint32_t Number = 0;
  uint64_t Size = 0;
  bool HasNote = false;
  BackupNote Note;
};

// What made `backup`: unknown without a note.
BackupMaker MadeBy(const ArchiveBackup& backup);

// The backups of the archive at `archive_path` (either separator), oldest (lowest number)
// first, with their notes. A backup's name is the archive's name exactly as written, never
// another letter case of it. Empty files (a reservation that a kill left) are not backups.
// False when the archive's directory cannot be read.
bool ListBackups(FileSystem& files, const std::string& archive_path,
                 std::vector<ArchiveBackup>* backups);

// True when the file at `path` is an archive written in full by this program's writer: its
// header's counts filled in and its size exactly the index's end. A file whose writing was cut
// short still has the placeholder header.
bool WrittenInFull(FileSystem& files, const std::string& path);

// Puts the complete new archive at `written_path` (flushed, not held open) in the place of the
// existing archive at `archive_path` (not held open), keeping the old one under a new backup
// name, returned in `*backup`, with `note` beside it. On failure nothing is lost: the old archive
// is back under its name, the new one still at `written_path`; `*failed_step` says which step
// failed (kReserve / kKeepOld: the backup; kPlaceNew: the new archive's name), with the system's
// reason in the last error.
enum class SwapStep { kNone, kReserve, kKeepOld, kPlaceNew };
bool SwapInNewArchive(FileSystem& files, const std::string& archive_path,
                      const std::string& written_path, const BackupNote& note, std::string* backup,
                      SwapStep* failed_step);

// Finishes a swap that was interrupted between its two renames: when nothing is under the
// archive's name, a backup exists and a temporary file beside the archive is an archive written
// in full, that file takes the archive's name. True when it did (`*completed` names the file it
// took); false otherwise, also when nothing had to be done.
bool RecoverInterruptedSwap(FileSystem& files, const std::string& archive_path,
                            std::string* completed);

// Copies every byte of `from` into the new file `to` (created only when no file has the name)
// and flushes it. On failure `to` is removed again.
bool CopyWholeFile(FileSystem& files, const std::string& from, const std::string& to);

// Restore, the way back to any earlier state: the same steps for the terminal tool's restore,
// the undo script of a patch and the Studio's list of backups.

// The backup numbered `number`, or nullptr.
const ArchiveBackup* FindBackup(const std::vector<ArchiveBackup>& backups, uint32_t number);

// Puts the bytes of `backup` back under `archive_path`. The backup is copied beside the archive
// first and stays as it is, so that every backup remains a state to go back to; the archive it
// replaces, when there is one, is kept as a new backup with `note` (`*kept`, else empty). Every
// step can be cut short without loss. On failure the archive is as it was and `*failure` is the
// message, in the catalogue's words.
bool RestoreBackup(FileSystem& files, const std::string& archive_path, const ArchiveBackup& backup,
                   const BackupNote& note, std::string* kept, std::string* failure);

// Removes the backups of `backups` (with their notes) that are not kept: the oldest one, the
// original, is kept unless `with_original`, and so are the `keep_newest` newest. `*removed`
// gets the paths removed. False at the first backup that cannot be removed (`*failure`, in the
// catalogue's words); those removed before it stay removed.
bool PruneBackups(FileSystem& files, const std::vector<ArchiveBackup>& backups, size_t keep_newest,
                  bool with_original, std::vector<std::string>* removed, std::string* failure);

}  // namespace velmora
