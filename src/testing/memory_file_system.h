// A file system held in memory, with the sharing rules of the real one and faults on demand,
// so that every failure point of the core can be made to happen in a test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

// Paths compare exactly (no case folding); a directory path may end in backslashes. Opens
// follow the sharing rules of the target system, fail with its error codes, and creating a file
// needs its directory. Streams may outlive the file system. One thread at a time.
class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // --- Contents -----------------------------------------------------------------------------
  // Stores a file (and every directory above it, split at backslashes).
  void PutFile(const std::string& path, const std::string& bytes);
  void PutDirectory(const std::string& path);
  bool HasFile(const std::string& path) const;
  bool HasDirectory(const std::string& path) const;
  std::string FileBytes(const std::string& path) const;  // empty when there is no such file
  std::vector<std::string> FilePaths() const;            // sorted
  // Makes a file look `size` bytes long without storing them: bytes past the stored ones read
  // as zeros. Lets tests describe archives beyond 4 GiB. The file must exist (std::logic_error
  // otherwise, as for FailReadsOfFrom).
  void SetApparentSize(const std::string& path, uint64_t size);

  // --- Faults (each sets the platform's error code that the real system would give) ----------
  // Every open of `path` fails with `error_code`.
  void FailOpensOf(const std::string& path, unsigned long error_code);
  // Writes, counted over all files, succeed for `bytes` more bytes; then they fail (disk full).
  // The write that crosses the limit stores the bytes up to it and fails.
  void LimitWrittenBytes(uint64_t bytes);
  // Reads of `path` deliver nothing at or after `offset` (an input/output error there), or,
  // with `until`, nothing from `offset` up to it (a bad stretch that reads beginning at `until`
  // pass); the file's size stays as it is.
  void FailReadsOfFrom(const std::string& path, uint64_t offset, uint64_t until = UINT64_MAX);
  // Flushes fail with `error_code`, as a device that cannot take the bytes reports it.
  void FailFlushes(unsigned long error_code);
  // Renames fail with access denied.
  void FailRenames();
  // What a power cut leaves: every file falls back to the bytes of its last flush (the bytes
  // stored by PutFile count as flushed); names stay as the last rename left them.
  void CutPower();
  // Creating `path` as a directory fails with access denied.
  void FailMakeDirectory(const std::string& path);
  // What HeldFilesStayInPlace answers (false by default). Open files cannot be removed or
  // replaced here in either case; only PutFile changes them.
  void SetHeldFilesStayInPlace(bool stay) { held_files_stay_ = stay; }

  // --- Observation ---------------------------------------------------------------------------
  int OpenStreamCount() const;
  // Bytes delivered by reads of `path` so far, over all its streams (0 when there is no file):
  // shows whether a reader went back to the file or used what it had kept.
  uint64_t BytesReadFrom(const std::string& path) const;
  // Paths of the directories created through MakeDirectory, in order.
  const std::vector<std::string>& CreatedDirectories() const { return created_directories_; }

  // --- FileSystem ----------------------------------------------------------------------------
  std::unique_ptr<Stream> OpenShared(const std::string& path) override;
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override;
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override;
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override;
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override;
  bool FileIsPresent(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameReplacing(const std::string& from, const std::string& to) override;
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override;
  bool HeldFilesStayInPlace() const override { return held_files_stay_; }

  struct File;  // the implementation's record of one file

 private:
  class MemoryStream;
  friend class MemoryStream;
  struct OpenRequest;  // access, sharing and disposition of one open
  std::unique_ptr<Stream> Open(const std::string& path, const OpenRequest& request);

  std::map<std::string, std::shared_ptr<File>> files_;
  std::set<std::string> directories_;
  std::map<std::string, unsigned long> failing_opens_;
  std::set<std::string> failing_directories_;
  std::vector<std::string> created_directories_;
  bool fail_renames_ = false;
  bool held_files_stay_ = false;
  // What the streams share with the file system (write budget, stream count); streams hold it
  // too, so a stream that outlives the file system stays safe to use and to close.
  struct StreamShared;
  std::shared_ptr<StreamShared> shared_;
};

}  // namespace velmora
