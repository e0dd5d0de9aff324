// The files as a run would find them, for a run that must change nothing: everything read passes
// through to the real file system, every file the run would create is a sink that only counts
// its bytes, and directories made, files removed and renamed are only remembered, so that the
// run's later questions get the answers they would get.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

class DryRunFileSystem final : public FileSystem {
 public:
  explicit DryRunFileSystem(FileSystem& real) : real_(real) {}

  std::unique_ptr<Stream> OpenShared(const std::string& path) override;
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override;
  // An existing file is opened for real, without sharing as the run opens it, but writing to it
  // is refused: the file stays as it is.
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override;
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override;
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override;
  bool FileIsPresent(const std::string& path) override;
  bool FileIsPresentForReading(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameReplacing(const std::string& from, const std::string& to) override;
  // A run lists no folder; the real folder's files, as reading passes through.
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    return real_.ListFiles(directory, names);
  }

  // The directories the run would have made, outermost first.
  const std::vector<std::string>& MadeDirectories() const { return made_directories_; }
  // The size of the last file created at `path`, or 0.
  uint64_t CreatedSize(const std::string& path) const;

  struct Sink;  // a created file: its size and whether a stream still holds it

 private:
  std::unique_ptr<Stream> CreateSink(const std::string& path);
  bool HeldBySink(const std::string& path) const;

  FileSystem& real_;
  std::map<std::string, std::shared_ptr<Sink>> sinks_;  // by the path they were created at
  std::set<std::string> created_;                       // files that exist only here
  std::set<std::string> removed_;                       // real files removed here
  std::set<std::string> directories_;                   // directories made here
  std::vector<std::string> made_directories_;
};

}  // namespace velmora
