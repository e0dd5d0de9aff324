// The file-system seam: streams over open files and the few directory operations the program
// needs. The core talks only to these interfaces, so tests can run it over memory and make any
// operation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

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
  // The file's current size, asked of the system anew each time; the position stays.
  virtual bool Size(uint64_t* size) = 0;
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
  // The path's attributes include the directory flag.
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates one directory whose parent exists.
  virtual bool MakeDirectory(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames `from` to `to` in one step, replacing an existing `to`.
  virtual bool RenameReplacing(const std::string& from, const std::string& to) = 0;
  // The names of the files (not the directories) directly inside `directory`, sorted by their
  // bytes, in the form the other calls take them. False when the directory cannot be read.
  virtual bool ListFiles(const std::string& directory, std::vector<std::string>* names) = 0;
};

// The operating system's files.
FileSystem& SystemFileSystem();

}  // namespace velmora
