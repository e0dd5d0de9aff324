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

struct ArchiveBackup {
  std::string Path;
  uint32_t Number = 0;
  uint64_t Size = 0;
};

// The backups of the archive at `archive_path` (either separator), oldest (lowest number)
// first. Empty files (a reservation that a kill left) are not backups. False when the
// archive's directory cannot be read.
bool ListBackups(FileSystem& files, const std::string& archive_path,
                 std::vector<ArchiveBackup>* backups);

// True when the file at `path` is an archive written in full by this program's writer: its
// header's counts filled in and its size exactly the index's end. A file whose writing was cut
// short still has the placeholder header.
bool WrittenInFull(FileSystem& files, const std::string& path);

// Puts the complete new archive at `written_path` (flushed, not held open) in the place of the
// existing archive at `archive_path` (not held open), keeping the old one under a new backup
// name, returned in `*backup`. On failure nothing is lost: the old archive is back under its
// name, the new one still at `written_path`; `*failed_step` says which step failed
// (kReserve / kKeepOld: the backup; kPlaceNew: the new archive's name), with the system's reason
// in the last error.
enum class SwapStep { kNone, kReserve, kKeepOld, kPlaceNew };
bool SwapInNewArchive(FileSystem& files, const std::string& archive_path,
                      const std::string& written_path, std::string* backup, SwapStep* failed_step);

// Finishes a swap that was interrupted between its two renames: when nothing is under the
// archive's name, a backup exists and a temporary file beside the archive is an archive written
// in full, that file takes the archive's name. True when it did (`*completed` names the file it
// took); false otherwise, also when nothing had to be done.
bool RecoverInterruptedSwap(FileSystem& files, const std::string& archive_path,
                            std::string* completed);

// Copies every byte of `from` into the new file `to` (created only when no file has the name)
// and flushes it. On failure `to` is removed again.
bool CopyWholeFile(FileSystem& files, const std::string& from, const std::string& to);

}  // namespace velmora
