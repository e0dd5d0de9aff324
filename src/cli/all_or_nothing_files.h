// Files written as one: they take their own names only when every one is complete, and whatever
// is not committed is removed again when the writer ends, so that a command that fails part-way
// leaves none of its files and every file it would have replaced as it was.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "msg/catalogue.h"
#include "sys/file_system.h"

namespace velmora {

class AllOrNothingFiles {
 public:
  // With `flush_all`, every file's bytes are on the disk before any takes its name; otherwise
  // only those of a file that replaces another are (a new name never stands for lost bytes).
  AllOrNothingFiles(FileSystem& files, bool force, bool flush_all)
      : files_(files), force_(force), flush_all_(flush_all) {}
  ~AllOrNothingFiles();
  AllOrNothingFiles(const AllOrNothingFiles&) = delete;
  AllOrNothingFiles& operator=(const AllOrNothingFiles&) = delete;

  // Writes the file that is to be `path`, its bytes given by `write`; false with Failure() set:
  // the words `write` gave through FailWith, or else those of a failed write. A path no file
  // holds (`replaces` false) is created under its own name at once, so that nobody else takes
  // it meanwhile; a file that replaces another is written under a temporary name beside it and
  // renamed in Commit.
  bool Write(const std::string& path, bool replaces, const std::function<bool(Stream&)>& write);

  // Gives every file its own name, in the order written, once the bytes to be flushed are on
  // the disk; false with Failure() set, and the files already renamed removed again. A file that
  // replaces another is refused when that other appeared only meanwhile, unless replacing was
  // asked for.
  bool Commit();

  // What failed, in the catalogue's words with the system's reason.
  const std::string& Failure() const { return failure_; }
  // Sets the failure a `write` met, in its own words.
  void FailWith(const std::string& failure) { failure_ = failure; }

 private:
  struct Written {
    std::string Temporary;  // the name its bytes went under: its own, or a temporary one
    std::string Path;
  };
  struct Held {
    std::unique_ptr<Stream> Out;
    std::string Path;
  };
  bool FlushHeld();
  bool Fail(MessageKey key, const std::string& path);

  FileSystem& files_;
  bool force_;
  bool flush_all_;
  std::vector<Held> held_;        // written, to be flushed
  std::vector<Written> written_;  // not yet committed
  std::vector<std::string> named_;
  std::vector<Written> kept_;  // files replaced, under a name aside (Temporary) until committed
  std::string failure_;
};

}  // namespace velmora
