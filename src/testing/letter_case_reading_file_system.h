// A file system that finds a file about to be read under a name in another letter case, as the
// POSIX file system does where names differ by case: an open to read, or the question whether
// such a file is there, falls back to the one file of the folder whose name differs from the
// asked one by letter case alone. Every other call (FileIsPresent, creating, removing, renaming)
// takes the name exactly as written. Tests wrap a MemoryFileSystem in it to see that whoever
// foresees a read finds the file where the read finds it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sys/code_page.h"
#include "sys/file_system.h"
#include "sys/system_error.h"

namespace velmora {

class LetterCaseReadingFileSystem final : public FileSystem {
 public:
  explicit LetterCaseReadingFileSystem(FileSystem& real) : real_(real) {}

  std::unique_ptr<Stream> OpenShared(const std::string& path) override {
    return real_.OpenShared(NameToRead(path));
  }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override {
    return real_.OpenDenyWrite(NameToRead(path));
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override {
    return real_.OpenExclusive(path);
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override {
    return real_.CreateExclusive(path);
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override {
    return real_.CreateNewExclusive(path);
  }
  bool FileIsPresent(const std::string& path) override { return real_.FileIsPresent(path); }
  bool FileIsPresentForReading(const std::string& path) override {
    return real_.FileIsPresent(NameToRead(path));
  }
  bool DirectoryExists(const std::string& path) override { return real_.DirectoryExists(path); }
  bool MakeDirectory(const std::string& path) override { return real_.MakeDirectory(path); }
  bool RemoveFile(const std::string& path) override { return real_.RemoveFile(path); }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return real_.RenameReplacing(from, to);
  }
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    return real_.ListFiles(directory, names);
  }
  bool HeldFilesStayInPlace() const override { return real_.HeldFilesStayInPlace(); }

 private:
  // `path` when it is there or no single name in another letter case is; else that name.
  std::string NameToRead(const std::string& path) {
    if (real_.FileIsPresent(path)) return path;
    const size_t slash = path.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::vector<std::string> names;
    const unsigned long error = LastSystemError();
    std::string found;
    int matches = 0;
    if (real_.ListFiles(folder, &names)) {
      for (const std::string& candidate : names) {
        if (EqualFoldingAscii(candidate, name)) {
          found = candidate;
          ++matches;
        }
      }
    }
    SetLastSystemError(error);
    return matches == 1 ? path.substr(0, path.size() - name.size()) + found : path;
  }

  FileSystem& real_;
};

}  // namespace velmora
