// How entry bytes travel from the files they are taken from into the new archive: in few, large
// reads and writes, through buffers of fixed size, so that memory never grows with the size of
// an entry and an archive of many small entries costs what its bytes cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sys/file_system.h"

namespace velmora {

// The size of each of the run's buffers: the new archive's pending bytes, the source read ahead,
// and the piece of a larger entry in transit.
constexpr size_t kRunBufferSize = 256 * 1024;

// The new archive's bytes on their way to its file. Small pieces are collected and written
// together; large ones go straight through once the pending bytes are out. A failed write is
// reported by the call that makes it, with the system's reason in the last error.
class TargetBuffer {
 public:
  // Appends at `target`'s current position, which is the end of what it holds.
  explicit TargetBuffer(Stream& target);

  // Where the next appended byte lands in the file.
  uint64_t Position() const { return written_ + held_; }
  bool Append(const void* data, size_t n);
  // Writes the pending bytes. The run does this before anything that tells what it has done so
  // far (a rule line reached, a failure recorded, the end of the walk), so that a write that
  // fails is reported where it would have been had every byte been written at once.
  bool WriteHeld();

 private:
  Stream& target_;
  uint64_t written_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t held_ = 0;
};

enum class CopyResult { kDone, kReadShort, kWriteFailed };

// Copies entry bytes into a TargetBuffer. Entries of the source that follow one another are read
// in one piece and kept for the entries after; anything else is read in pieces of at most
// kRunBufferSize bytes.
class EntryCopier {
 public:
  explicit EntryCopier(TargetBuffer& target) : target_(target) {}

  // Copies `size` bytes from `offset` of the source. `in_order` says that the entry is read
  // where the walk stands (an entry's own bytes), so reading ahead of it will pay.
  CopyResult CopyFromSource(Stream& source, uint64_t offset, uint64_t size, bool in_order);
  // Copies `size` bytes from the current position of `from`.
  CopyResult CopyFrom(Stream& from, uint64_t size);

 private:
  bool InWindow(uint64_t offset, uint64_t size) const;

  TargetBuffer& target_;
  // Bytes of the source read ahead: window_size_ bytes from window_start_.
  std::unique_ptr<unsigned char[]> window_;
  uint64_t window_start_ = 0;
  size_t window_size_ = 0;
  std::unique_ptr<unsigned char[]> piece_;
};

}  // namespace velmora
