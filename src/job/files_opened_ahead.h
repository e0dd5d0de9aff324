// Files a run will read, opened a few at a time ahead of it, and closed after it, on threads of
// their own: where each open and close is a round trip to a busy file service, a run of many
// small files then waits for few of them. The run waits only for an open already under way: a
// file whose open has not begun when the run needs it is opened by the run itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

class FilesOpenedAhead {
 public:
  // Files opened and not yet reached by the run, at most.
  static constexpr size_t kMostAhead = 32;
  // Threads that open and close: while one waits for the file service, another's call is served.
  static constexpr size_t kThreads = 2;

  // Opens `paths` (OpenSharedIfPresent), in their order. Without a thread of its own nothing is
  // opened ahead, and every Take answers null.
  FilesOpenedAhead(FileSystem& files, std::vector<std::string> paths);
  // Stops the threads and closes every file not taken or given back.
  ~FilesOpenedAhead();
  FilesOpenedAhead(const FilesOpenedAhead&) = delete;
  FilesOpenedAhead& operator=(const FilesOpenedAhead&) = delete;

  // The file of `path` when `path` is the next of the paths and its open has begun (waiting for
  // its end); null when it is not the next, its open has not begun, or the file is not there or
  // would not open: the caller then opens it itself and learns why it fails at the time it needs
  // the file. Called by one thread only.
  std::unique_ptr<Stream> Take(const std::string& path);
  // The file the last Take gave, once its bytes are read: it is closed on one of the threads.
  // Any other file closes here.
  void GiveBack(std::unique_ptr<Stream> file);

 private:
  struct Slot {
    std::atomic<Stream*> File{nullptr};  // owned: opened ahead, or given back to be closed
    std::atomic<bool> Begun{false};      // the open of the slot's path has begun
    std::atomic<bool> Done{false};       // and has ended
  };

  // Opens the paths whose index is `first` plus a multiple of kThreads, and closes the files of
  // the paths the run has gone past, until the destructor stops it.
  void OpenEvery(size_t first);
  // Closes the files of slots [from, taken - 1): the run no longer reaches them, and gives back
  // nothing there. Returns where the next call goes on.
  size_t CloseBehind(size_t from, size_t taken);

  FileSystem& files_;
  const std::vector<std::string> paths_;
  std::unique_ptr<Slot[]> slots_;
  std::atomic<size_t> taken_{0};  // paths taken or passed by the run
  std::atomic<bool> stopping_{false};
  size_t last_taken_ = SIZE_MAX;  // the run's own: the slot its last file came from
  std::vector<std::thread> threads_;
};

}  // namespace velmora
