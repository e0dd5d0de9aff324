// The operating system's files on POSIX hosts.
//
// The program writes paths with backslashes; here every backslash that is a character of its
// own becomes a slash, so "out\ui.wdf" and "/home/me/out/ui.wdf" both name what they mean.
// Paths are in the active code page (a script's GBK names included) and reach the system in
// UTF-8, the encoding of its file names.
//
// POSIX has no sharing modes, yet the program relies on them: the target is created without
// sharing, so a target that names the open source in another form must fail to open instead of
// truncating the source. Every open therefore passes the same sharing check as on the target
// system, against the other streams of this process on the same file (device and inode), and
// takes an advisory lock (shared for deny-write, exclusive for no sharing) that other processes
// honouring locks also see. Removing or renaming a file that this process holds open, or that
// another process holds locked, fails as it would there. A refused open reports EBUSY.
//
// A rename is made durable by syncing the directory that receives the name: the rename itself
// only changes the directory in memory.
//
// POSIX has no wildcards in paths either: FileIsPresent tests the exact path.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <ctime>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "sys/code_page.h"
#include "sys/file_system.h"
#include "sys/sharing_rules.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

thread_local std::vector<std::string> letter_case_candidates;

// How long a folder must have stayed unchanged before its listing is kept: the times the system
// stamps on a change are coarse, so a name added just after a listing may leave them as they
// were. The change time is the one to ask: nobody can set it back.
constexpr time_t kSettledSeconds = 2;

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SettledBefore(const timespec& changed, const timespec& now) {
  return changed.tv_sec + kSettledSeconds < now.tv_sec;
}

// The names of folders by their ASCII letters in upper case, so that a burst of lookups in one
// folder (a script's files, a listing's entries) reads the folder once instead of once per name.
// A listing is kept only for a folder that had settled when it was read, and only while the
// folder is the same one with the same times; a folder that changes, or changed a moment
// before, is read again.
class FolderNames {
 public:
  // The names in `dir` equal to `name` apart from ASCII letter case, sorted.
  std::vector<std::string> Matching(const std::string& dir, const std::string& name) {
    const std::string folder = dir.empty() ? "." : dir;
    struct stat before;
    if (stat(folder.c_str(), &before) != 0) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    auto kept = listings_.find(folder);
    if (kept == listings_.end() || !kept->second.Describes(before)) {
      if (kept != listings_.end()) listings_.erase(kept);
      Listing listing;
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      if (!listing.Read(folder, before)) return {};
      std::vector<std::string> found = listing.Find(name);
      if (!SettledBefore(before.st_ctim, now)) return found;
      if (listings_.size() >= kKeptFolders) listings_.clear();
      kept = listings_.emplace(folder, std::move(listing)).first;
    }
    return kept->second.Find(name);
  }

 private:
  static constexpr size_t kKeptFolders = 16;

  struct Listing {
    dev_t Device = 0;
    ino_t Inode = 0;
    timespec Modified{};
    timespec Changed{};
    std::unordered_map<std::string, std::vector<std::string>> ByUpperCase;

    bool Describes(const struct stat& st) const {
      return st.st_dev == Device && st.st_ino == Inode && SameTime(st.st_mtim, Modified) &&
             SameTime(st.st_ctim, Changed);
    }
    bool Read(const std::string& folder, const struct stat& st) {
      DIR* listing = opendir(folder.c_str());
      if (listing == nullptr) return false;
      Device = st.st_dev;
      Inode = st.st_ino;
      Modified = st.st_mtim;
      Changed = st.st_ctim;
      while (const dirent* entry = readdir(listing)) {
        ByUpperCase[UpperCaseAscii(entry->d_name)].push_back(entry->d_name);
      }
      closedir(listing);
      for (auto& names : ByUpperCase) std::sort(names.second.begin(), names.second.end());
      return true;
    }
    std::vector<std::string> Find(const std::string& name) const {
      auto found = ByUpperCase.find(UpperCaseAscii(name));
      return found == ByUpperCase.end() ? std::vector<std::string>() : found->second;
    }
  };

  static std::string UpperCaseAscii(std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
  }

  std::mutex mutex_;
  std::map<std::string, Listing> listings_;
};

FolderNames& TheFolderNames() {
  static FolderNames* folder_names = new FolderNames;  // never destroyed: lookups may come late
  return *folder_names;
}

// `path` (UTF-8, '/') with each part that does not exist as written replaced by the one name of
// its folder that matches it without regard to letter case; from the first part that has none,
// or more than one, the rest stays as written.
std::string WithLetterCaseOnDisk(const std::string& path) {
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) == 0) return path;
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = resolved.size();
  while (pos < path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(pos, end - pos);
    const std::string rest = path.substr(std::min(end + 1, path.size()));
    const std::string tail = end < path.size() ? "/" : "";
    if (part.empty() || lstat((resolved + part).c_str(), &st) == 0) {
      resolved += part + tail;
    } else {
      const std::vector<std::string> names = TheFolderNames().Matching(resolved, part);
      if (names.size() != 1) {
        if (names.size() > 1) {
          std::string all;
          for (const std::string& name : names) all += (all.empty() ? "" : "\n") + resolved + name;
          letter_case_candidates.push_back(all);
        }
        return resolved + part + tail + rest;
      }
      resolved += names[0] + tail;
    }
    pos = end + 1;
  }
  return resolved;
}

// The path as the system names it: exactly as written, every backslash of its own a slash.
std::string ToPosixPath(const std::string& path) {
  std::string result = path;
  for (size_t pos = 0; pos < result.size(); pos = NextCharOffset(result, pos)) {
    if (result[pos] == '\\' && NextCharOffset(result, pos) == pos + 1) result[pos] = '/';
  }
  return Utf8FromActiveCodePage(result);
}

// The path of an existing file to be read: as written, or found in another letter case.
std::string ToPosixPathToRead(const std::string& path) {
  return WithLetterCaseOnDisk(ToPosixPath(path));
}

bool Fail(int code) {
  errno = code;
  return false;
}

using FileId = std::pair<dev_t, ino_t>;

// The opens of this process per file, counted like the target system's sharing check.
class OpenFiles {
 public:
  // Registers the open when it does not conflict with the others of the same file.
  bool TryAdd(FileId id, const OpenMode& mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    SharingCounts& counts = files_[id];
    if (counts.ConflictsWith(mode)) return false;
    counts.Count(mode, +1);
    return true;
  }
  void Remove(FileId id, const OpenMode& mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(id);
    if (found == files_.end()) return;
    found->second.Count(mode, -1);
    if (!found->second.IsOpen()) files_.erase(found);
  }
  bool IsOpen(FileId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(id);
    return found != files_.end() && found->second.IsOpen();
  }

 private:
  std::mutex mutex_;
  std::map<FileId, SharingCounts> files_;
};

OpenFiles& TheOpenFiles() {
  static OpenFiles* open_files = new OpenFiles;  // never destroyed: streams may close late
  return *open_files;
}

class PosixStream final : public Stream {
 public:
  PosixStream(int fd, FileId id, OpenMode mode) : fd_(fd), id_(id), mode_(mode) {}
  ~PosixStream() override {
    TheOpenFiles().Remove(id_, mode_);
    int saved = errno;  // closing must not replace the reason of an earlier failure
    close(fd_);
    errno = saved;
  }

  size_t Read(void* buffer, size_t n) override {
    const size_t done = ReadAt(position_, buffer, n);
    position_ += done;
    return done;
  }
  // A positioned read leaves the descriptor's own position alone: threads never disturb each
  // other.
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t got = pread(fd_, static_cast<char*>(buffer) + done, n - done,
                          static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    return done;
  }
  bool ReadsFromThreads() const override { return true; }

  bool Write(const void* data, size_t n) override {
    if (!mode_.Write) return Fail(EBADF);
    size_t done = 0;
    while (done < n) {
      ssize_t put = pwrite(fd_, static_cast<const char*>(data) + done, n - done,
                           static_cast<off_t>(position_ + done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) break;
      if (put == 0) {
        errno = ENOSPC;
        break;
      }
      done += static_cast<size_t>(put);
    }
    position_ += done;
    return done == n;
  }

  bool Seek(uint64_t position) override {
    if (position > static_cast<uint64_t>(INT64_MAX)) return Fail(EINVAL);
    position_ = position;
    return true;
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }
  bool Flush() override {
    int result;
    do {
      result = fsync(fd_);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }
  // The write-back starts now, while the program goes on writing; fsync still waits for all of
  // it and reports its failures, which starting it leaves for fsync to see.
  void FlushAhead() override {
#if defined(__linux__)
    const int saved = errno;
    sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
    errno = saved;
#endif
  }
  // Known since the open: the file a descriptor refers to never changes.
  bool Identity(FileVersion* identity) override {
    *identity = FileVersion();
    identity->Volume = static_cast<uint64_t>(id_.first);
    identity->File = static_cast<uint64_t>(id_.second);
    return true;
  }
  bool Version(FileVersion* version) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    version->Volume = static_cast<uint64_t>(st.st_dev);
    version->File = static_cast<uint64_t>(st.st_ino);
    version->Size = static_cast<uint64_t>(st.st_size);
    version->Written = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(st.st_mtim.tv_nsec);
    version->Changed = static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u +
                       static_cast<uint64_t>(st.st_ctim.tv_nsec);
    return true;
  }

 private:
  int fd_;
  FileId id_;
  OpenMode mode_;
  uint64_t position_ = 0;
};

enum class Disposition { kOpenExisting, kCreateAlways, kCreateNew };

// Opens like the target system: the file is opened without truncation, checked against the
// sharing of the other opens, locked, and only then truncated when it is to be created anew.
std::unique_ptr<Stream> OpenFile(const std::string& path, OpenMode mode, Disposition disposition) {
  int flags = (mode.Write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (disposition == Disposition::kCreateAlways) flags |= O_CREAT;
  if (disposition == Disposition::kCreateNew) flags |= O_CREAT | O_EXCL;
  // Only a file opened to be read may be found in another letter case: whatever is written,
  // truncated or held against writers takes the name exactly as written.
  const bool to_read = disposition == Disposition::kOpenExisting && !mode.Write;
  const auto open_path = [flags](const std::string& posix_path) {
    int opened;
    do {
      opened = open(posix_path.c_str(), flags, 0666);
    } while (opened < 0 && errno == EINTR);
    return opened;
  };
  // The name as written is tried first: the folder is searched for another letter case only
  // when nothing answers to it, as the search would find the name as written first anyway.
  const std::string as_written = ToPosixPath(path);
  int fd = open_path(as_written);
  if (fd < 0 && to_read && (errno == ENOENT || errno == ENOTDIR)) {
    const int code = errno;
    const std::string on_disk = WithLetterCaseOnDisk(as_written);
    if (on_disk != as_written) {
      fd = open_path(on_disk);
    } else {
      errno = code;
    }
  }
  if (fd < 0) return nullptr;
  auto fail = [fd](int code) -> std::unique_ptr<Stream> {
    close(fd);
    errno = code;
    return nullptr;
  };
  struct stat st;
  if (fstat(fd, &st) != 0) return fail(errno);
  if (S_ISDIR(st.st_mode)) return fail(EACCES);
  FileId id{st.st_dev, st.st_ino};
  if (!TheOpenFiles().TryAdd(id, mode)) return fail(EBUSY);
  int lock = mode.ShareWrite ? 0 : mode.ShareRead ? LOCK_SH : LOCK_EX;
  if (lock != 0 && flock(fd, lock | LOCK_NB) != 0) {
    int code = errno == EWOULDBLOCK ? EBUSY : errno;
    TheOpenFiles().Remove(id, mode);
    return fail(code);
  }
  if (disposition == Disposition::kCreateAlways && st.st_size != 0 && ftruncate(fd, 0) != 0) {
    int code = errno;
    TheOpenFiles().Remove(id, mode);
    return fail(code);
  }
  return std::make_unique<PosixStream>(fd, id, mode);
}

// True when `path` is held open by this process, or locked by another; such a file may not be
// removed or replaced. A probe that cannot open the file cannot tell, and lets the operation
// decide.
bool HeldOpen(const std::string& posix_path) {
  struct stat st;
  if (stat(posix_path.c_str(), &st) != 0) return false;
  if (TheOpenFiles().IsOpen({st.st_dev, st.st_ino})) return true;
  const int probe = open(posix_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (probe < 0) return false;
  const bool locked = flock(probe, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(probe);  // also releases the probe's own lock
  return locked;
}

// Makes the entries of the directory holding `posix_path` durable. A file system that cannot
// sync a directory (EINVAL) keeps its entries by other means.
bool SyncDirectoryOf(const std::string& posix_path) {
  const size_t slash = posix_path.rfind('/');
  const std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : posix_path.substr(0, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int result;
  do {
    result = fsync(fd);
  } while (result != 0 && errno == EINTR);
  const int code = errno;
  close(fd);
  errno = code;
  return result == 0 || code == EINVAL;
}

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<Stream> OpenShared(const std::string& path) override {
    return OpenFile(path, kSharedRead, Disposition::kOpenExisting);
  }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override {
    return OpenFile(path, kDenyWriteRead, Disposition::kOpenExisting);
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override {
    return OpenFile(path, kExclusive, Disposition::kOpenExisting);
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override {
    return OpenFile(path, kExclusive, Disposition::kCreateAlways);
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override {
    return OpenFile(path, kExclusive, Disposition::kCreateNew);
  }

  bool FileIsPresent(const std::string& path) override {
    struct stat st;
    return stat(ToPosixPath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }
  bool FileIsPresentForReading(const std::string& path) override {
    struct stat st;
    return stat(ToPosixPathToRead(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }
  // The name still leads to the very file held (device and inode): one question of the system
  // instead of a search, an open and a close.
  bool HeldFileStillAt(const std::string& path, Stream& held) override {
    struct stat st;
    FileVersion identity;
    return stat(ToPosixPath(path).c_str(), &st) == 0 && held.Identity(&identity) &&
           identity.Volume == static_cast<uint64_t>(st.st_dev) &&
           identity.File == static_cast<uint64_t>(st.st_ino);
  }
  // An open that succeeds found the file as the search would (folders do not open), so the
  // search is made only to tell why an open failed.
  std::unique_ptr<Stream> OpenSharedIfPresent(const std::string& path, bool* present) override {
    std::unique_ptr<Stream> file = OpenShared(path);
    if (file) {
      *present = true;
      return file;
    }
    const int code = errno;
    *present = FileIsPresentForReading(path);
    errno = code;
    return nullptr;
  }
  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return stat(ToPosixPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool MakeDirectory(const std::string& path) override {
    return mkdir(ToPosixPath(path).c_str(), 0777) == 0;
  }
  bool RemoveFile(const std::string& path) override {
    std::string posix_path = ToPosixPath(path);
    if (HeldOpen(posix_path)) return Fail(EBUSY);
    return unlink(posix_path.c_str()) == 0;
  }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    std::string posix_from = ToPosixPath(from);
    std::string posix_to = ToPosixPath(to);
    // As the target systems answer: a held file to be moved is a sharing violation, a held
    // file to be replaced refuses access.
    if (HeldOpen(posix_from)) return Fail(EBUSY);
    if (HeldOpen(posix_to)) return Fail(EACCES);
    return rename(posix_from.c_str(), posix_to.c_str()) == 0 && SyncDirectoryOf(posix_to);
  }
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    std::string posix_dir = ToPosixPath(directory);
    DIR* dir = opendir(posix_dir.c_str());
    if (dir == nullptr) return false;
    if (posix_dir.empty() || posix_dir.back() != '/') posix_dir += '/';
    names->clear();
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
      struct stat st;
      if (stat((posix_dir + entry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        names->push_back(entry->d_name);
      }
      errno = 0;
    }
    const int code = errno;
    closedir(dir);
    if (code != 0) return Fail(code);
    std::sort(names->begin(), names->end());
    return true;
  }
};

}  // namespace

std::vector<std::string> TakeLetterCaseCandidates() {
  std::vector<std::string> taken;
  taken.swap(letter_case_candidates);
  std::sort(taken.begin(), taken.end());
  taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
  return taken;
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem* file_system = new PosixFileSystem;
  return *file_system;
}

}  // namespace velmora
