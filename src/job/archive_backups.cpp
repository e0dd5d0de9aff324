#include "job/archive_backups.h"

#include <algorithm>
#include <ctime>
#include <memory>

#include "job/paths.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

constexpr char kBackupSuffix[] = ".bak";
constexpr char kNoteSuffix[] = ".info";
#if defined(_WIN32)
constexpr bool kNamesKeepLetterCase = false;
#else
constexpr bool kNamesKeepLetterCase = true;
#endif
// How many numbers past the highest one a reservation tries before it gives up: each failure
// means another program took the name in between.
constexpr int kReserveAttempts = 100;
constexpr size_t kCopyPiece = 61440;

// Keeps the system's reason of a failure across the clean-up that follows it.
class SavedError {
 public:
  SavedError() : code_(LastSystemError()) {}
  ~SavedError() { SetLastSystemError(code_); }

 private:
  unsigned long code_;
};

// The directory part of a path (up to and including its last separator, either kind, or drive
// colon) and the name after it.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t last = FindLastCharOf(path, "\\/:");
  *dir = last == std::string::npos ? std::string() : path.substr(0, last + 1);
  *name = last == std::string::npos ? path : path.substr(last + 1);
}

// Whether two names of files in one folder are one name: on POSIX the bytes must be equal, and a
// file in another letter case belongs to another archive; on Windows the file system itself
// takes both for one.
bool SameName(const std::string& a, const std::string& b) {
  return kNamesKeepLetterCase ? a == b : EqualFoldingAscii(a, b);
}

// The number N of a file name "<archive name>.N.bak", or 0 when the name is not one.
uint32_t BackupNumber(const std::string& archive_name, const std::string& file_name) {
  const size_t prefix = archive_name.size() + 1;
  const size_t suffix = sizeof kBackupSuffix - 1;
  if (file_name.size() <= prefix + suffix) return 0;
  if (!SameName(file_name.substr(0, archive_name.size()), archive_name) ||
      file_name[archive_name.size()] != '.' ||
      !SameName(file_name.substr(file_name.size() - suffix), kBackupSuffix)) {
    return 0;
  }
  const std::string digits = file_name.substr(prefix, file_name.size() - prefix - suffix);
  if (digits.empty() || digits.size() > 10 || digits[0] == '0') return 0;
  uint64_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  return number > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(number);
}

std::string NoteText(const BackupNote& note) {
  std::string text = "Made=" + std::to_string(note.Made) + "\r\n";
  if (!note.Script.empty()) text += "Script=" + note.Script + "\r\n";
  if (!note.Patch.empty()) text += "Patch=" + note.Patch + "\r\n";
  if (!note.Undo.empty()) text += "Undo=" + note.Undo + "\r\n";
  if (note.Restored != 0) text += "Restored=" + std::to_string(note.Restored) + "\r\n";
  return text;
}

// A decimal number of at most 18 digits, or -1.
int64_t NoteNumber(const std::string& text) {
  if (text.empty() || text.size() > 18) return -1;
  int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool ReadBackupNote(FileSystem& files, const std::string& path, BackupNote* note) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  uint64_t size = 0;
  if (!stream || !stream->Size(&size) || size > 65536) return false;
  std::string text(static_cast<size_t>(size), '\0');
  if (stream->Read(&text[0], text.size()) != text.size()) return false;
  *note = BackupNote();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "Made") {
      note->Made = std::max<int64_t>(NoteNumber(value), 0);
    } else if (key == "Script") {
      note->Script = value;
    } else if (key == "Patch") {
      note->Patch = value;
    } else if (key == "Undo") {
      note->Undo = value;
    } else if (key == "Restored") {
      const int64_t number = NoteNumber(value);
      note->Restored = number > 0 && number <= 0xFFFFFFFF ? static_cast<uint32_t>(number) : 0;
    }
  }
  return true;
}

// Every file named as a backup of the archive, empty ones included, with their sizes.
bool ListBackupFiles(FileSystem& files, const std::string& archive_path,
                     std::vector<ArchiveBackup>* found) {
  std::string dir;
  std::string name;
  SplitPath(archive_path, &dir, &name);
  std::vector<std::string> names;
  if (!files.ListFiles(dir.empty() ? "." : dir, &names)) return false;
  found->clear();
  for (const std::string& file_name : names) {
    const uint32_t number = BackupNumber(name, file_name);
    if (number == 0) continue;
    ArchiveBackup backup;
    backup.Path = dir + file_name;
    backup.Number = number;
    if (std::unique_ptr<Stream> stream = files.OpenShared(backup.Path)) stream->Size(&backup.Size);
    found->push_back(backup);
  }
  for (ArchiveBackup& backup : *found) {
    backup.HasNote = ReadBackupNote(files, BackupNoteName(backup.Path), &backup.Note);
  }
  std::sort(found->begin(), found->end(),
            [](const ArchiveBackup& a, const ArchiveBackup& b) { return a.Number < b.Number; });
  return true;
}

}  // namespace

bool ReserveBackupName(FileSystem& files, const std::string& archive_path, std::string* backup) {
  std::vector<ArchiveBackup> existing;
  if (!ListBackupFiles(files, archive_path, &existing)) return false;
  uint64_t number = existing.empty() ? 1 : uint64_t{existing.back().Number} + 1;
  for (int attempt = 0; attempt < kReserveAttempts && number <= 0xFFFFFFFFu; ++attempt, ++number) {
    const std::string path = BackupName(archive_path, static_cast<uint32_t>(number));
    if (files.CreateNewExclusive(path)) {
      *backup = path;
      return true;
    }
    if (!files.FileIsPresent(path) && !files.DirectoryExists(path)) return false;
  }
  return false;
}

std::string TemporaryArchiveName(const std::string& archive_path, int attempt) {
  std::string path = archive_path + ".vlmtmp";
  if (attempt > 0) path += std::to_string(attempt);
  return path;
}

std::string BackupName(const std::string& archive_path, uint32_t number) {
  return archive_path + "." + std::to_string(number) + kBackupSuffix;
}

std::string BackupNoteName(const std::string& backup_path) { return backup_path + kNoteSuffix; }

void WriteBackupNote(FileSystem& files, const std::string& backup, const BackupNote& note) {
  const std::string path = BackupNoteName(backup);
  const std::string text = NoteText(note);
  std::unique_ptr<Stream> stream = files.CreateExclusive(path);
  if (stream && stream->Write(text.data(), text.size()) && stream->Flush()) return;
  SavedError reason;
  stream.reset();
  files.RemoveFile(path);
}

BackupNote NoteMadeNow(const std::string& script) {
  BackupNote note;
  note.Made = static_cast<int64_t>(std::time(nullptr));
  note.Script = script;
  return note;
}

BackupMaker MadeBy(const ArchiveBackup& backup) {
  if (!backup.HasNote) return BackupMaker::kUnknown;
  if (backup.Note.Restored != 0) return BackupMaker::kRestore;
  if (!backup.Note.Undo.empty()) return BackupMaker::kUndo;
  return backup.Note.Patch.empty() ? BackupMaker::kScript : BackupMaker::kPatch;
}

bool ListBackups(FileSystem& files, const std::string& archive_path,
                 std::vector<ArchiveBackup>* backups) {
  if (!ListBackupFiles(files, archive_path, backups)) return false;
  backups->erase(std::remove_if(backups->begin(), backups->end(),
                                [](const ArchiveBackup& backup) { return backup.Size == 0; }),
                 backups->end());
  return true;
}

bool WrittenInFull(FileSystem& files, const std::string& path) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  uint32_t count = 0;
  uint32_t index_offset = 0;
  uint64_t size = 0;
  if (!stream || !ReadWdfHeader(*stream, &count, &index_offset) || !stream->Size(&size)) {
    return false;
  }
  return index_offset >= kWdfHeaderSize &&
         size == index_offset + static_cast<uint64_t>(count) * kWdfEntrySize;
}

bool SwapInNewArchive(FileSystem& files, const std::string& archive_path,
                      const std::string& written_path, const BackupNote& note, std::string* backup,
                      SwapStep* failed_step) {
  *failed_step = SwapStep::kNone;
  if (!ReserveBackupName(files, archive_path, backup)) {
    *failed_step = SwapStep::kReserve;
    return false;
  }
  WriteBackupNote(files, *backup, note);
  if (!files.RenameReplacing(archive_path, *backup)) {
    SavedError reason;
    files.RemoveFile(BackupNoteName(*backup));
    files.RemoveFile(*backup);  // the empty reservation
    *failed_step = SwapStep::kKeepOld;
    return false;
  }
  if (!files.RenameReplacing(written_path, archive_path)) {
    SavedError reason;
    // The old archive goes back; should that fail too, both archives still exist and the next
    // run or restore finishes the swap.
    files.RenameReplacing(*backup, archive_path);
    *failed_step = SwapStep::kPlaceNew;
    return false;
  }
  return true;
}

bool RecoverInterruptedSwap(FileSystem& files, const std::string& archive_path,
                            std::string* completed) {
  if (files.FileIsPresent(archive_path) || files.DirectoryExists(archive_path)) return false;
  std::vector<ArchiveBackup> backups;
  if (!ListBackups(files, archive_path, &backups) || backups.empty()) return false;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string temporary = TemporaryArchiveName(archive_path, attempt);
    if (!files.FileIsPresent(temporary) || !WrittenInFull(files, temporary)) continue;
    if (!files.RenameReplacing(temporary, archive_path)) return false;
    *completed = temporary;
    return true;
  }
  return false;
}

bool CopyWholeFile(FileSystem& files, const std::string& from, const std::string& to) {
  std::unique_ptr<Stream> source = files.OpenShared(from);
  if (!source) return false;
  std::unique_ptr<Stream> target = files.CreateNewExclusive(to);
  if (!target) return false;
  std::vector<char> piece(kCopyPiece);
  uint64_t size = 0;
  bool copied = source->Size(&size) && source->Seek(0);
  for (uint64_t done = 0; copied && done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, piece.size()));
    copied = source->Read(piece.data(), n) == n && target->Write(piece.data(), n);
    done += n;
  }
  copied = copied && target->Flush();
  target.reset();
  if (!copied) {
    SavedError reason;
    files.RemoveFile(to);
  }
  return copied;
}

const ArchiveBackup* FindBackup(const std::vector<ArchiveBackup>& backups, uint32_t number) {
  for (const ArchiveBackup& backup : backups) {
    if (backup.Number == number) return &backup;
  }
  return nullptr;
}

bool RestoreBackup(FileSystem& files, const std::string& archive_path, const ArchiveBackup& backup,
                   const BackupNote& note, std::string* kept, std::string* failure) {
  kept->clear();
  {
    std::unique_ptr<Stream> stream = files.OpenShared(backup.Path);
    if (!stream || !ReadWdfHeader(*stream, nullptr, nullptr)) {
      *failure = Message(MessageKey::MsgSourceNotWdf, {ShownPath(backup.Path)});
      return false;
    }
  }
  std::string copy;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && copy.empty(); ++attempt) {
    const std::string name = TemporaryArchiveName(archive_path, attempt);
    if (files.FileIsPresent(name) || files.DirectoryExists(name)) continue;
    if (!CopyWholeFile(files, backup.Path, name)) {
      *failure =
          Message(MessageKey::MsgTargetWriteFailed, {ShownPath(name), LastSystemErrorText()});
      return false;
    }
    copy = name;
  }
  if (copy.empty()) {
    *failure = Message(MessageKey::MsgTargetWriteFailed,
                       {ShownPath(TemporaryArchiveName(archive_path, 0)), LastSystemErrorText()});
    return false;
  }
  if (!files.FileIsPresent(archive_path)) {
    if (files.RenameReplacing(copy, archive_path)) return true;
    *failure = Message(MessageKey::MsgTargetReplaceFailed,
                       {ShownPath(archive_path), LastSystemErrorText()});
    files.RemoveFile(copy);
    return false;
  }
  SwapStep failed = SwapStep::kNone;
  if (SwapInNewArchive(files, archive_path, copy, note, kept, &failed)) return true;
  const std::string reason = LastSystemErrorText();
  kept->clear();
  files.RemoveFile(copy);
  *failure = failed == SwapStep::kPlaceNew
                 ? Message(MessageKey::MsgTargetReplaceFailed, {ShownPath(archive_path), reason})
                 : Message(MessageKey::MsgBackupFailed, {ShownPath(archive_path), reason});
  return false;
}

bool PruneBackups(FileSystem& files, const std::vector<ArchiveBackup>& backups, size_t keep_newest,
                  bool with_original, std::vector<std::string>* removed, std::string* failure) {
  removed->clear();
  const size_t first = with_original ? 0 : 1;
  const size_t end = backups.size() > keep_newest ? backups.size() - keep_newest : 0;
  for (size_t k = first; k < end; ++k) {
    const std::string& path = backups[k].Path;
    if (!files.RemoveFile(path)) {
      *failure =
          Message(MessageKey::MsgBackupRemoveFailed, {ShownPath(path), LastSystemErrorText()});
      return false;
    }
    files.RemoveFile(BackupNoteName(path));
    removed->push_back(path);
  }
  return true;
}

}  // namespace velmora
