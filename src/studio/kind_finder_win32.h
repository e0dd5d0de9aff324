// Finds the kinds of an archive's entries on a thread of its own while the list is already
// shown, so that sorting or filtering by kind waits at most for what is left of one pass over
// the archive, and the window's thread never reads entry by entry.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

class KindFinder {
 public:
  KindFinder() = default;
  KindFinder(const KindFinder&) = delete;
  KindFinder& operator=(const KindFinder&) = delete;
  ~KindFinder() { Stop(); }

  // Starts on `entries`, read through `reader` (a reader of the archive's own); `window` is
  // posted `message` when the kinds are found. What was being found before is dropped.
  void Start(std::unique_ptr<Stream> reader, std::vector<WdfEntry> entries, uint64_t file_size,
             HWND window, UINT message);
  // Drops the work: the thread is asked to end and waited for.
  void Stop();
  // Waits until the kinds are found and hands them over (one per entry, ReadEntryKinds' values);
  // false when nothing was being found, or it was already handed over.
  bool Take(std::vector<uint8_t>* kinds);

 private:
  static DWORD WINAPI Main(void* self);
  // Waits for the thread to end and lets go of what it read; the kinds stay.
  void Join();

  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::unique_ptr<Stream> reader_;
  std::vector<WdfEntry> entries_;
  uint64_t file_size_ = 0;
  std::vector<uint8_t> kinds_;
  HWND window_ = nullptr;
  UINT message_ = 0;
};

}  // namespace velmora
