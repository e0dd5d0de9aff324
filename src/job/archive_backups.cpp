#include "job/archive_backups.h"

#include <algorithm>
#include <memory>

#include "sys/code_page.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

constexpr char kBackupSuffix[] = ".bak";
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

// The number N of a file name "<archive name>.N.bak", or 0 when the name is not one.
uint32_t BackupNumber(const std::string& archive_name, const std::string& file_name) {
  const size_t prefix = archive_name.size() + 1;
  const size_t suffix = sizeof kBackupSuffix - 1;
  if (file_name.size() <= prefix + suffix) return 0;
  if (!EqualFoldingAscii(file_name.substr(0, archive_name.size()), archive_name) ||
      file_name[archive_name.size()] != '.' ||
      !EqualFoldingAscii(file_name.substr(file_name.size() - suffix), kBackupSuffix)) {
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
                      const std::string& written_path, std::string* backup, SwapStep* failed_step) {
  *failed_step = SwapStep::kNone;
  if (!ReserveBackupName(files, archive_path, backup)) {
    *failed_step = SwapStep::kReserve;
    return false;
  }
  if (!files.RenameReplacing(archive_path, *backup)) {
    SavedError reason;
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

}  // namespace velmora
