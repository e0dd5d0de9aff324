// A file system that stops doing anything after a given number of operations, as a process
// that is killed at that moment does: every later call fails and changes nothing. Tests run an
// operation once for each count and check what the files were left as.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sys/file_system.h"
#include "sys/system_error.h"

namespace velmora {

class StoppingFileSystem final : public FileSystem {
 public:
  // `budget` operations are carried out; negative: all of them.
  StoppingFileSystem(FileSystem& real, int budget) : real_(real), budget_(budget) {}

  // Operations carried out so far.
  int Done() const { return done_; }
  bool Stopped() const { return budget_ >= 0 && done_ >= budget_; }

  std::unique_ptr<Stream> OpenShared(const std::string& path) override {
    return Go() ? real_.OpenShared(path) : nullptr;
  }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override {
    return Go() ? real_.OpenDenyWrite(path) : nullptr;
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override {
    return Go() ? real_.OpenExclusive(path) : nullptr;
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override {
    return Go() ? real_.CreateExclusive(path) : nullptr;
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override {
    return Go() ? real_.CreateNewExclusive(path) : nullptr;
  }
  bool FileIsPresent(const std::string& path) override { return Go() && real_.FileIsPresent(path); }
  bool FileIsPresentForReading(const std::string& path) override {
    return Go() && real_.FileIsPresentForReading(path);
  }
  bool DirectoryExists(const std::string& path) override {
    return Go() && real_.DirectoryExists(path);
  }
  bool MakeDirectory(const std::string& path) override { return Go() && real_.MakeDirectory(path); }
  bool RemoveFile(const std::string& path) override { return Go() && real_.RemoveFile(path); }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return Go() && real_.RenameReplacing(from, to);
  }
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    return Go() && real_.ListFiles(directory, names);
  }
  bool HeldFilesStayInPlace() const override { return real_.HeldFilesStayInPlace(); }
  bool HeldFileStillAt(const std::string& path, Stream& held) override {
    return real_.HeldFileStillAt(path, held);
  }

 private:
  bool Go() {
    if (Stopped()) {
      SetLastSystemError(SystemErrorSharingViolation());
      return false;
    }
    ++done_;
    return true;
  }

  FileSystem& real_;
  int budget_;
  int done_ = 0;
};

}  // namespace velmora
