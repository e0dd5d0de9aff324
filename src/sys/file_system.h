// The file-system seam: streams over open files and the few directory operations the program
// needs. The core talks only to these interfaces, so tests can run it over memory and make any
// operation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

// What tells one state of a file's contents from another: the file's identity on its volume,
// its size, and the times the system moves on every write or replacement. Two equal versions of
// the same path mean that nothing was written to the file in between.
struct FileVersion {
  uint64_t Volume = 0;
  uint64_t File = 0;
  uint64_t Size = 0;
  uint64_t Written = 0;
  uint64_t Changed = 0;

  bool operator==(const FileVersion& other) const {
    return Volume == other.Volume && File == other.File && Size == other.Size &&
           Written == other.Written && Changed == other.Changed;
  }
  bool operator!=(const FileVersion& other) const { return !(*this == other); }
};

// An open file. Every call reports failure through its result and leaves the system's reason in
// the calling thread's last error (LastSystemErrorText).
class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to `n` bytes at the current position and returns how many arrived; fewer than `n`
  // at the end of the file or on an input/output error.
  virtual size_t Read(void* buffer, size_t n) = 0;
  // Writes all `n` bytes at the current position; false when they could not all be written.
  virtual bool Write(const void* data, size_t n) = 0;
  virtual bool Seek(uint64_t position) = 0;
  virtual uint64_t Position() = 0;
  // Reads up to `n` bytes at `offset` and returns how many arrived, as Seek and Read do; the
  // position afterwards is not to be relied on.
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t n) {
    return Seek(offset) ? Read(buffer, n) : 0;
  }
  // True when ReadAt and Size may be called from several threads at once, as long as nothing
  // else is asked of the stream meanwhile.
  virtual bool ReadsFromThreads() const { return false; }
  // The file's current size, asked of the system anew each time; the position stays.
  virtual bool Size(uint64_t* size) = 0;
  // Sends every byte written so far to the disk and waits until it is there, so that a power
  // cut afterwards cannot take them back; false when the device reports a failure.
  virtual bool Flush() = 0;
  // Starts sending the bytes written so far to the disk without waiting for them, so that the
  // Flush that must still come has less left to wait for; a failure on the way is reported by
  // that Flush. Does nothing where the system cannot start this apart.
  virtual void FlushAhead() {}
  // The file's current version, asked of the system anew each time. A stream that cannot tell
  // answers false, and nothing read from it is then kept for later use.
  virtual bool Version(FileVersion* /*version*/) { return false; }
  // The file's identity on its volume (FileVersion's Volume and File; the rest stays 0): two
  // streams with equal identities hold one file, whatever names they were opened by. False when
  // the system cannot tell.
  virtual bool Identity(FileVersion* identity) {
    FileVersion version;
    if (!Version(&version)) return false;
    *identity = FileVersion();
    identity->Volume = version.Volume;
    identity->File = version.File;
    return true;
  }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Each open returns nullptr on failure, with the system's reason in the last error.

  // An existing file, read-only; other processes may read and write it meanwhile.
  virtual std::unique_ptr<Stream> OpenShared(const std::string& path) = 0;
  // An existing file, read-only; other processes may read it but not write it.
  virtual std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) = 0;
  // An existing file, read and write, no sharing at all, contents untouched.
  virtual std::unique_ptr<Stream> OpenExclusive(const std::string& path) = 0;
  // Created, or truncated to 0 bytes when it exists; read and write, no sharing at all.
  virtual std::unique_ptr<Stream> CreateExclusive(const std::string& path) = 0;
  // Created only when no file of that name exists yet; read and write, no sharing at all.
  virtual std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) = 0;

  // A directory search for the exact path finds an entry, and that first entry is not a
  // directory (wildcards match as in any directory search).
  virtual bool FileIsPresent(const std::string& path) = 0;
  // As FileIsPresent, for a file that is about to be opened to be read (OpenShared,
  // OpenDenyWrite), which may find it where FileIsPresent does not: under a name in another
  // letter case, where the system tells letter cases apart.
  virtual bool FileIsPresentForReading(const std::string& path) { return FileIsPresent(path); }
  // OpenShared, for a caller that first asks FileIsPresentForReading to tell a file that is not
  // there from one that will not open: the same answers, where the system allows without a
  // directory search before every open. `*present` is FileIsPresentForReading's answer; null
  // with `*present` true is a file that is there but will not open (the open's reason in the
  // last error).
  virtual std::unique_ptr<Stream> OpenSharedIfPresent(const std::string& path, bool* present);
  // The path's attributes include the directory flag.
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates one directory whose parent exists.
  virtual bool MakeDirectory(const std::string& path) = 0;
  // Removes a file; fails with a sharing violation while any stream holds it open, in this
  // process or, where the system can tell, in another.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames `from` to `to` in one step, replacing an existing `to`; refused while either is
  // held open: a held `from` with a sharing violation, a held `to` with access denied. Durable:
  // when it returns true the new name survives a power cut (flush the file's bytes first, so that
  // the name does not arrive before them). Where the system makes the name durable in a second
  // step, a failure of that step is reported too, although the rename itself has happened.
  virtual bool RenameReplacing(const std::string& from, const std::string& to) = 0;
  // The names of the files (not the directories) directly inside `directory`, sorted by their
  // bytes, in the form the other calls take them. False when the directory cannot be read.
  virtual bool ListFiles(const std::string& directory, std::vector<std::string>* names) = 0;

  // True when nobody can remove, rename or replace a file while this process holds it open
  // (shared, read-only): a path found and opened once then goes on naming that file, and
  // opening it again would succeed, for as long as it is held.
  virtual bool HeldFilesStayInPlace() const { return false; }
  // True when `held`, opened from `path` to be read (OpenShared), is the file that opening
  // `path` to be read would find now, so that it may be read instead of opening it again. False
  // when the system cannot tell cheaply: the caller then opens the file anew.
  virtual bool HeldFileStillAt(const std::string& /*path*/, Stream& /*held*/) {
    return HeldFilesStayInPlace();
  }
  // True when opening a file costs many times what reading a small one does, and OpenShared and
  // OpenSharedIfPresent may be called from several threads at once: a run then opens the files
  // its rules name a few entries ahead, on a thread of its own.
  virtual bool OpensPayAhead() const { return false; }
};

// The operating system's files.
FileSystem& SystemFileSystem();

#if !defined(_WIN32)
// Scripts written on Windows name files in any letter case, and Windows finds them. So does the
// system file system here, but only to read: a file opened to be read (OpenShared,
// OpenDenyWrite, FileIsPresentForReading) whose path does not exist as written is looked up part
// by part among its folder's names without regard to ASCII letter case, and a part is taken when
// exactly one name matches. Every other call takes the path exactly as written, so a name in
// another letter case never decides where a file is created, written, renamed or removed. When
// two or more names match, nothing is taken; each such lookup of this thread is kept, its
// candidates as paths of the system (UTF-8) joined by line breaks, until taken here.
std::vector<std::string> TakeLetterCaseCandidates();
#endif

// Creates the directory `dir` and every missing directory above it, outermost first, where
// `parent` names the directory above a level (itself, or empty, above a root). Stops at the
// first directory that cannot be created, keeping those created so far; the system's reason
// stays in the last error.
bool MakeMissingDirectories(FileSystem& files, const std::string& dir,
                            const std::function<std::string(const std::string&)>& parent);

}  // namespace velmora
